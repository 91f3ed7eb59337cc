/* Writes one line to an activity log and matches file names through
 * DADADA32.dll; exits 1 when an answer is wrong. */
#include <stdio.h>
#include <string.h>
#include "dadada32.h"

static const struct { const char *patterns, *name; BOOL match; } matches[] = {
    { "*.EXE",       "SCAN.EXE",     TRUE  },
    { "*.TXT;*.LOG", "ACTIVITY.LOG", TRUE  },
    { "*.EXE",       "README.TXT",   FALSE },
};

int main(void)
{
    static const char path[] = "consumer_c.log", line[] = "consumer_c\tlog line\r\n";
    char back[64] = "";
    int failures = 0;
    size_t i;
    ALOGHANDLE log;
    FILE *f;

    DeleteFileA(path);
    log = ALOG_Init(path, 64, NULL, 0);
    if (!log || ALOG_Write(log, line) != 1) {
        printf("ALOG_Write failed\n");
        failures++;
    }
    if (log) ALOG_End(log);
    f = fopen(path, "rb");
    if (f) {
        back[fread(back, 1, sizeof(back) - 1, f)] = 0;
        fclose(f);
    }
    if (strcmp(back, line)) {
        printf("the log holds \"%s\"\n", back);
        failures++;
    }
    for (i = 0; i < sizeof(matches) / sizeof(matches[0]); i++) {
        if (!NameWildcardMatch(matches[i].patterns, matches[i].name) != !matches[i].match) {
            printf("NameWildcardMatch(\"%s\", \"%s\") is not %d\n", matches[i].patterns,
                   matches[i].name, matches[i].match);
            failures++;
        }
    }
    printf("consumer_c: %d wrong answers\n", failures);
    return failures ? 1 : 0;
}
