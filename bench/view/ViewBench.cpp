// The window with 1,000 jobs in the store: start-up to the first shown list,
// the refresh command, a sort by next start, and the store reads of a sort.
#include "CommandLayer.h"
#include "Daily.h"
#include "Job.h"
#include "MainFrame.h"
#include "ModalSeam.h"
#include "NamedBroadcast.h"
#include "NamedEvent.h"
#include "NamedMutex.h"
#include "RegInterface.h"
#include "ResourceIds.h"
#include "VigilApp.h"
#include "VigilView.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {
constexpr int kJobs = 1000;

// One state root with the jobs, the server "running" so that no notice
// stops the start, and the toolkit without a display.
struct Store {
    Store() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("RAMPART_ROOT", root.path().toUtf8().constData(), 1);
        setenv("XDG_DATA_HOME", root.filePath("data").toUtf8().constData(), 1);
        HKEY key = nullptr;
        RegCreateKeyEx(HKEY_LOCAL_MACHINE, kJobKeyPath, &key);
        RegCloseKey(key);
        CRegInterface raw;
        raw.Open(kJobKeyPath);
        for (int i = 0; i < kJobs; ++i) {
            CJob job;
            job.SetName(("Analiza " + std::to_string(i)).c_str());
            CDaily daily;
            const int hour = (i * 7) % 24, minute = (i * 13) % 60;
            daily.Set(true, &hour, &minute, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                      nullptr);
            job.SetPeriod(daily, COleDateTime(2026, 12, 8, 12, 0, 0));
            job.GetScanParameter().m_strDirectory = "/home/user/" + std::to_string(i % 37);
            if (i % 5 == 0)
                job.SetActive(false);
            raw.WriteJob(job, 0, nullptr);
        }
        server.TryLock();
    }
    ~Store() {
        CNamedBroadcast::Remove(kClientEventName);
        CNamedEvent::Remove(kServerEventName);
    }

    QTemporaryDir root;
    CNamedMutex server{kServerMutexName};
};

Store& TheStore() {
    static Store store;
    return store;
}

int g_argc = 1;
char g_name[] = "view_bench";
char* g_argv[] = {g_name, nullptr};

QApplication& App() {
    TheStore();
    static QApplication app(g_argc, g_argv);
    return app;
}

ScopedModalHook& AnswerEverything() {
    static ScopedModalHook hook([](QDialog&) { return IDOK; });
    return hook;
}

void BM_StartUpToShownList(benchmark::State& state) {
    App();
    AnswerEverything();
    for (auto _ : state) {
        CVigilApp app(g_argc, g_argv);
        if (!app.InitInstance() || app.GetView()->rowCount() != kJobs) {
            state.SkipWithError("start failed");
            break;
        }
        QApplication::processEvents();
        state.PauseTiming();
        app.GetMainFrame()->close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToShownList)->Unit(benchmark::kMillisecond)->Iterations(5);

struct Running {
    Running() : app(g_argc, g_argv) { app.InitInstance(); }
    CVigilApp app;
};

Running& TheWindow() {
    App();
    AnswerEverything();
    static Running running;
    return running;
}

void BM_RefreshCommand(benchmark::State& state) {
    CVigilApp& app = TheWindow().app;
    for (auto _ : state)
        app.GetMainFrame()->Commands().Execute(res::ID_VIEW_REFRESH);
    state.counters["rows"] = app.GetView()->rowCount();
}
BENCHMARK(BM_RefreshCommand)->Unit(benchmark::kMillisecond);

void BM_SortByNextStart(benchmark::State& state) {
    CVigilView& view = *TheWindow().app.GetView();
    const long readsBefore = view.GetStoreReads();
    long sorts = 0;
    for (auto _ : state) {
        // Each click on the column flips the direction and sorts again.
        view.OnColumnClick(CVigilView::ColNextStart);
        ++sorts;
    }
    state.counters["rows"] = view.rowCount();
    state.counters["reads_per_sort"] =
        static_cast<double>(view.GetStoreReads() - readsBefore) / static_cast<double>(sorts);
}
BENCHMARK(BM_SortByNextStart)->Unit(benchmark::kMillisecond);
} // namespace
