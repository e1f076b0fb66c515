#include "Toolbar.h"

#include "ResourceIds.h"

namespace res {
namespace {

const unsigned kMainToolbar[] = {
    ID_JOB_NEW,   ID_JOB_EDIT,   0, ID_JOB_DELETE, 0, ID_EDIT_CUT,
    ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_APP_ABOUT,
};

} // namespace

std::span<const unsigned> ToolbarButtons(unsigned id) {
    if (id == IDR_MAINFRAME)
        return kMainToolbar;
    return {};
}

const char* AppIconImage() {
    return "app.png";
}

} // namespace res
