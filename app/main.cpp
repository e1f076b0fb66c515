#include "VigilApp.h"

int main(int argc, char** argv) {
    CVigilApp app(argc, argv);
    if (!app.GetLogJob().empty())
        return app.ShowLogOnly();
    if (!app.InitInstance())
        return 1;
    return app.Run();
}
