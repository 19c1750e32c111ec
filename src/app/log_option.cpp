#include "app/log_option.h"

#include "history/history_log.h"

#include <cstdio>

bool openHistoryLog(HistoryLog& log, const QString& path)
{
    const auto failure = log.open(path);
    if (failure)
        std::fprintf(stderr, "zeva-control: cannot open the history log %s: %s\n", qPrintable(path),
                     qPrintable(*failure));
    return !failure;
}
