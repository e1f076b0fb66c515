#include "TemporaMetrics.h"

#include "Clock.h"
#include "JobMetrics.h"

#include <string>

int PrintMetrics(std::FILE* out, std::FILE* err) {
    std::string text;
    std::string error;
    if (!CollectMetrics(text, CurrentTime(), error)) {
        std::fprintf(err, "tempora: %s\n", error.c_str());
        return 1;
    }
    std::fputs(text.c_str(), out);
    return 0;
}
