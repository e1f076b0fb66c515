#include "ClamLibrary.h"

#include <clamav.h>
#include <mutex>

namespace {

thread_local std::string* t_pMessages = nullptr;

void OnMessage(enum cl_msg severity, const char*, const char* msg, void*) {
    if (severity != CL_MSG_ERROR || !t_pMessages || !msg)
        return;
    std::string text = msg;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (!t_pMessages->empty())
        *t_pMessages += "; ";
    *t_pMessages += text;
}

} // namespace

void RouteClamMessages() {
    static std::once_flag once;
    std::call_once(once, [] { cl_set_clcb_msg(OnMessage); });
}

bool InitClamLibrary(std::string& error) {
    static std::once_flag once;
    static cl_error_t result = CL_SUCCESS;
    RouteClamMessages();
    std::call_once(once, [] { result = cl_init(CL_INIT_DEFAULT); });
    if (result != CL_SUCCESS)
        error = std::string("nie można uruchomić silnika: ") + cl_strerror(result);
    return result == CL_SUCCESS;
}

CClamMessages::CClamMessages() {
    t_pMessages = &text;
}

CClamMessages::~CClamMessages() {
    t_pMessages = nullptr;
}
