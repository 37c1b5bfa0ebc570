#include "cli/LbCliRequest.h"

#include "cli/LbProgressBar.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbDataI.h"
#include "librarian/LbIterators.h"
#include "librarian/LbPatchI.h"
#include "librarian/LbStatus.h"

#include <cstdio>
#include <string>
#include <utility>

namespace {

// The numbers of a bank whose patches have not come yet.
std::vector<int32> MissingNumbers(const LbBankSnapshotI* bank)
{
    std::vector<int32> numbers;
    for (LbPatchI* patch : bank->Patches())
        if (patch->Data()->Length() == 0) numbers.push_back(patch->Number());
    return numbers;
}

} // namespace

status_t LbRequestBanks(const std::vector<LbBankSnapshotI*>& banks, long retries, LbStatusWormholeI* progress)
{
    size_t total = 0;
    for (LbBankSnapshotI* bank : banks) total += bank->Patches().size();
    char text[64];
    snprintf(text, sizeof text, "Requesting %zu patches...", total);
    if (progress) {
        progress->BeginStatus(text);
        progress->BeginProgress(float(total));
    }

    std::vector<std::pair<std::string, LbAlertKind>> alerts;
    LbAlertSink previous = LbSetAlertSink([&](const std::string& text, LbAlertKind kind) {
        alerts.emplace_back(text, kind);
    });
    status_t result = B_OK;
    for (LbBankSnapshotI* bank : banks) {
        status_t status = B_OK;
        for (long attempt = 0; attempt <= retries; attempt++) {
            LbInt32ListIt numbers(MissingNumbers(bank));
            if (!numbers.HasNext()) break;
            status = bank->Request(&numbers, progress);
            if (status != LB_NO_RESPONSE) break;
        }
        if (result == B_OK) result = status;
    }
    LbSetAlertSink(previous);
    if (progress) progress->EndProgress();
    if (result != B_OK && !alerts.empty()) LbShowAlert(alerts.back().first, alerts.back().second);
    return result;
}

