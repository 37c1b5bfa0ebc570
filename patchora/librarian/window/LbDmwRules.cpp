#include "librarian/window/LbDmwRules.h"

std::string LbDmwCountText(long count, bool selection)
{
    const char* what = selection ? "selection" : "item";
    if (count == 1) return std::string("1 ") + what;
    return std::to_string(count) + " " + what + "s";
}

std::string LbDmwPatchLabel(int32 number, const char* name)
{
    return std::to_string(number) + " " + (name != nullptr && name[0] != '\0' ? name : "<empty>");
}

std::string LbDmwSelectionName(long selectedPatches, const char* bankName)
{
    if (selectedPatches > 0)
        return std::to_string(selectedPatches) + (selectedPatches == 1 ? " Patch" : " Patches");
    if (bankName != nullptr) return std::string("Bank ") + bankName;
    return "0 Patches";
}

std::string LbDmwLeafName(const std::string& filePath)
{
    if (filePath.empty()) return "untitled";
    size_t slash = filePath.find_last_of('/');
    return slash == std::string::npos ? filePath : filePath.substr(slash + 1);
}

std::string LbDmwTitle(const char* manufacturer, const char* model, const std::string& filePath)
{
    return std::string("Manage ") + (manufacturer ? manufacturer : "<error>") + " " +
        (model ? model : "<error>") + " - " + LbDmwLeafName(filePath);
}

std::string LbDmwCloseQuestion(const std::string& filePath)
{
    return "Save changes to \"" + LbDmwLeafName(filePath) + "\"?";
}

LbDmwEnabling LbDmwMenuEnabling(bool running, bool hasSnapshot, bool online, int32 studioDevices)
{
    LbDmwEnabling e;
    e.open = e.saveAs = e.quit = !running;
    e.copy = e.paste = !running && hasSnapshot;
    e.midi = e.copy && online;
    e.newWindow = studioDevices > 0;
    return e;
}

LbDmwCloseStep LbDmwCloseDecision(bool running, bool quitting, int32 significant, bool modified)
{
    if (running) return LbDmwCloseStep::kRefuse;
    if (!quitting && significant < 2) return LbDmwCloseStep::kQuitApplication;
    return modified ? LbDmwCloseStep::kAsk : LbDmwCloseStep::kClose;
}
