#include "cli/LbCliShow.h"

#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbDataI.h"
#include "librarian/LbPatchI.h"
#include "params/LbIntToStringMapI.h"
#include "params/LbParam.h"

#include <cstdlib>
#include <map>
#include <string>

namespace {
const char* Text(const char* text, const char* fallback = "")
{
    return text ? text : fallback;
}

std::string Named(const LbParam* param, int index)
{
    std::string name = Text(param->Name());
    return index > 0 ? name + " " + std::to_string(index) : name;
}
} // namespace

void LbShowParams(FILE* out, const LbParam* param, const LbPatchI* patch, int depth, int index)
{
    if (param == nullptr) return;
    LbDataI* data = const_cast<LbDataI*>(patch->Data());
    switch (param->Type()) {
        case LB_COLLECTION_PARAM: {
            auto* collection = static_cast<const LbCollectionParam*>(param);
            if (param->Name() && *param->Name()) fprintf(out, "%*s[%s]\n", depth * 2, "", Named(param, index).c_str());
            std::map<std::string, int> count, seen;
            for (int32 i = 0; i < collection->CountParams(); i++)
                if (const LbParam* child = collection->ParamAt(i)) count[Text(child->Name())]++;
            for (int32 i = 0; i < collection->CountParams(); i++) {
                const LbParam* child = collection->ParamAt(i);
                std::string name = child ? Text(child->Name()) : "";
                int place = ++seen[name];
                LbShowParams(out, child, patch, depth + 1, count[name] > 1 && !name.empty() ? place : 0);
            }
            break;
        }
        case LB_INT_PARAM: {
            auto* integer = static_cast<const LbIntParam*>(param);
            int32 value = 0;
            if (integer->ReadSysEx(data, 0, &value) != B_OK) {
                fprintf(out, "%*s%s = (not in this patch)\n", depth * 2, "", Named(param, index).c_str());
                break;
            }
            const char* name = nullptr;
            LbIntToStringMapI* map = integer->NewValueMap();
            if (map && map->NameForId(value, &name) == B_OK && name)
                fprintf(out, "%*s%s = %ld (%s)\n", depth * 2, "", Named(param, index).c_str(), long(value), name);
            else
                fprintf(out, "%*s%s = %ld\n", depth * 2, "", Named(param, index).c_str(), long(value));
            LbIntToStringMapI::Release(map);
            break;
        }
        case LB_STRING_PARAM: {
            char* text = nullptr;
            if (static_cast<const LbStringParam*>(param)->ReadSysEx(data, &text) == B_OK)
                fprintf(out, "%*s%s = \"%s\"\n", depth * 2, "", Named(param, index).c_str(), Text(text));
            free(text);
            break;
        }
        default:
            break;
    }
}

void LbShowBanks(FILE* out, const std::vector<LbBankSnapshotI*>& banks, bool params)
{
    for (LbBankSnapshotI* bank : banks) {
        int32 filled = 0;
        for (LbPatchI* patch : bank->Patches()) filled += patch->Data()->Length() > 0;
        fprintf(out, "%s: %ld %s\n", Text(bank->Bank()->Name(), "(unnamed bank)"), long(filled),
                filled == 1 ? "patch" : "patches");
        for (LbPatchI* patch : bank->Patches()) {
            if (patch->Data()->Length() == 0) continue;
            fprintf(out, "  %3ld %s\n", long(patch->Number()), Text(patch->Name(), "<no name>"));
            if (!params) continue;
            for (int32 i = 0; LbParam* param = bank->Bank()->ParamAt(i); i++) LbShowParams(out, param, patch, 2);
        }
    }
}
