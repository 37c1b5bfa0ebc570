#include "params/LbParam.h"
#include "controls/LbParamCell.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <cstdlib>

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "param_cell_test";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication app(argc, argv);
    return app;
}

// A parameter whose overview is 40 x 20 and edit view 120 x 80; counts the views it made.
class SizedParam : public LbParam {
public:
    SizedParam() : LbParam("sized") {}
    int32 Type() const override { return LB_INT_PARAM; }
    int32 Id() const override { return 1; }
    QWidget* NewView(int32 kind) const override
    {
        if (kind != ORB_OVERVIEW && kind != ORB_EDIT_VIEW) return nullptr;
        made++;
        auto* view = new QWidget;
        view->resize(kind == ORB_OVERVIEW ? 40 : 120, kind == ORB_OVERVIEW ? 20 : 80);
        return view;
    }
    mutable int made = 0;
};

TEST(ParamCell, MakesEachViewOnceAndPlacesItAtTheOrigin)
{
    App();
    SizedParam param;
    LbParamCell cell(&param, ORB_OVERVIEW);
    EXPECT_TRUE(cell.ParamMatches(&param));
    EXPECT_FALSE(cell.ParamMatches(nullptr));
    cell.SetOrigin(10, 30);

    QWidget* overview = cell.CurrentView();
    ASSERT_NE(nullptr, overview);
    EXPECT_EQ(QPoint(10, 30), overview->pos());
    EXPECT_EQ(overview, cell.CurrentView());
    float w = 0, h = 0;
    cell.Dimensions(&w, &h);
    EXPECT_EQ(40.0f, w);
    EXPECT_EQ(20.0f, h);

    cell.SetCurrentViewType(ORB_EDIT_VIEW);
    QWidget* edit = cell.CurrentView();
    cell.Dimensions(&w, &h);
    EXPECT_EQ(120.0f, w);
    EXPECT_EQ(80.0f, h);
    EXPECT_EQ(2, param.made);
    EXPECT_EQ(ORB_EDIT_VIEW, cell.PlacedViewType());

    cell.SetCurrentViewType(0);   // hidden
    EXPECT_EQ(nullptr, cell.CurrentView());
    cell.Dimensions(&w, &h);
    EXPECT_EQ(0.0f, w);
    EXPECT_EQ(0.0f, h);
    // The edit view was placed last: it belongs to the window now, the overview to the cell.
    delete edit;
}

TEST(ParamCell, FreesOnlyTheViewsNoWindowTook)
{
    App();
    SizedParam param;
    QPointer<QWidget> overview, edit;
    {
        LbParamCell cell(&param, ORB_EDIT_VIEW);
        edit = cell.CurrentView();
        cell.SetCurrentViewType(ORB_OVERVIEW);
        overview = cell.CurrentView();
        cell.SetCurrentViewType(ORB_EDIT_VIEW);
        cell.CurrentView();   // the edit view is the one placed last
    }
    EXPECT_TRUE(overview.isNull());
    ASSERT_FALSE(edit.isNull());
    delete edit.data();

    {
        LbParamCell unused(&param, ORB_OVERVIEW);   // never placed: nothing made, nothing freed
    }
    class NoViews : public SizedParam {
        QWidget* NewView(int32) const override { return nullptr; }
    } bare;
    LbParamCell cell(&bare, ORB_OVERVIEW);
    EXPECT_EQ(nullptr, cell.CurrentView());
    EXPECT_EQ(0, cell.PlacedViewType());
}

} // namespace
