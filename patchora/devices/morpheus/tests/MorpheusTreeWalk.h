#pragma once
// Walks a bank's parameter tree: every leaf with the names of the collections above it.
#include "librarian/LbBank.h"
#include "params/LbParam.h"

#include <string>
#include <vector>

struct LeafParam {
    std::string path;   // "Patchcords/Note-On/Amount"
    LbParam* param;
};

inline void CollectLeaves(LbParam* param, const std::string& prefix, std::vector<LeafParam>* out)
{
    if (param == nullptr) return;
    std::string path = prefix.empty() ? param->Name() : prefix + "/" + param->Name();
    if (param->Type() == LB_COLLECTION_PARAM) {
        auto* collection = static_cast<LbCollectionParam*>(param);
        for (int32 i = 0; i < collection->CountParams(); i++) CollectLeaves(collection->ParamAt(i), path, out);
    } else {
        out->push_back({path, param});
    }
}

inline std::vector<LeafParam> Leaves(const LbBank& bank)
{
    std::vector<LeafParam> out;
    for (int32 i = 0; bank.ParamAt(i) != nullptr; i++) CollectLeaves(bank.ParamAt(i), "", &out);
    return out;
}

inline std::vector<LbIntParam*> IntLeaves(const LbBank& bank)
{
    std::vector<LbIntParam*> out;
    for (const LeafParam& leaf : Leaves(bank))
        if (leaf.param->Type() == LB_INT_PARAM) out.push_back(static_cast<LbIntParam*>(leaf.param));
    return out;
}

// The n-th leaf (0 = first) whose path is `path`.
inline LbParam* FindLeaf(const LbBank& bank, const std::string& path, int n = 0)
{
    for (const LeafParam& leaf : Leaves(bank))
        if (leaf.path == path && n-- == 0) return leaf.param;
    return nullptr;
}

inline LbIntParam* FindInt(const LbBank& bank, const std::string& path, int n = 0)
{
    LbParam* param = FindLeaf(bank, path, n);
    return param && param->Type() == LB_INT_PARAM ? static_cast<LbIntParam*>(param) : nullptr;
}
