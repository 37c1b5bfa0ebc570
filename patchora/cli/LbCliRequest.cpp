#include "cli/LbCliRequest.h"

#include "cli/LbProgressBar.h"
#include "librarian/LbDeviceSnapshotI.h"
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
            // A request that succeeded may still have left a patch out: the reply that
            // ended its wait can be a late one to an earlier request (asked again after
            // its time-out), and the patch's own reply then comes when nobody waits.
            // What is missing is asked for again in either case.
            if (status != B_OK && status != LB_NO_RESPONSE) break;
        }
        if (status == B_OK && !MissingNumbers(bank).empty()) {
            // Every request was answered, yet not by these patches: the instrument
            // counts as not responding for them, and the user hears of it.
            status = LB_NO_RESPONSE;
            if (alerts.empty() && bank->Snapshot() != nullptr)
                NotifyUserOfError(status, bank->Snapshot()->Device());
        }
        if (result == B_OK) result = status;
    }
    LbSetAlertSink(previous);
    if (progress) progress->EndProgress();
    if (result != B_OK && !alerts.empty()) LbShowAlert(alerts.back().first, alerts.back().second);
    return result;
}

