#include "pjlink/pjlink_guesses.h"

#include <algorithm>

int PjlinkGuesses::wrong(const QString& peer, qint64 nowMs)
{
    forget(nowMs);
    Record& r = records_[peer];
    r.count = std::min(r.count + 1, 16);
    r.lastMs = nowMs;
    return int(std::min<qint64>(qint64(kFirstMs) << (r.count - 1), kMostMs));
}

void PjlinkGuesses::forget(qint64 nowMs)
{
    records_.removeIf([nowMs](const auto& r) { return nowMs - r.value().lastMs >= kForgetMs; });
    while (records_.size() >= kMaxPeers) {
        auto oldest =
            std::min_element(records_.begin(), records_.end(),
                             [](const Record& a, const Record& b) { return a.lastMs < b.lastMs; });
        records_.erase(oldest);
    }
}
