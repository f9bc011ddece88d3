// Saving trend logs to a file.
#include "alarms_trends/trend_save.h"

#include <cstdio>

#include "alarms_trends/trend_store.h"
#include "alarms_trends/trend_time.h"
#include "runtime/log.h"
#include "runtime/platform.h"

namespace {

void writeSource(FILE *file, const EM_Source *s)
{
    char date[EM_DATE_SIZE], time[EM_DATE_SIZE];
    for (int i = 0; i < s->count; i++) {
        const EM_Point *p = EM_pointAt(s, i);
        EM_dateText(p->time, date);
        EM_timeText(p->time, time);
        if (p->time & EM_STATUS_BIT)
            std::fprintf(file, "%s;%s;%s;S=%d\n", s->name, date, time, static_cast<int>(p->value));
        else std::fprintf(file, "%s;%s;%s;%.10G\n", s->name, date, time, p->value);
    }
}

} // namespace

int EM_saveLogs(const EM_Emitter *e, char *name)
{
    // The suffix holds digits only, so the name stays in the program's directory.
    std::snprintf(name, EM_LOG_FILE_SIZE, "trendlog%s.csv", e->hasSuffix ? e->suffix : "");
    FILE *file = APP_FOPEN(name, "w");
    if (!file) {
        log_append(0, "Failed to save the trend logs to %s !\n", name);
        return 0;
    }
    std::fputs("Trend;Date;Time;Value\n", file);
    for (const EM_Source *s = e->sources; s; s = s->next) writeSource(file, s);
    bool written = std::ferror(file) == 0;
    if (std::fclose(file) != 0) written = false;
    if (!written) log_append(0, "Failed to save the trend logs to %s !\n", name);
    return written;
}
