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

std::optional<QString> PjlinkNoteLimit::admit(const QString& source, const QString& what,
                                              qint64 nowMs)
{
    if (shares_.size() >= PjlinkGuesses::kMaxPeers && !shares_.contains(source)) shares_.clear();
    const bool fresh = !shares_.contains(source);
    Share& s = shares_[source];
    if (fresh) s.lastMs = nowMs;
    s.tokensMs = std::min<qint64>(kBurst * 1000, s.tokensMs + (nowMs - s.lastMs) * kPerSecond);
    s.lastMs = nowMs;
    if (s.tokensMs < 1000) {
        ++s.leftOut;
        return std::nullopt;
    }
    s.tokensMs -= 1000;
    if (const int n = std::exchange(s.leftOut, 0))
        return what + QStringLiteral(" (%1 lines left out before this one)").arg(n);
    return what;
}
