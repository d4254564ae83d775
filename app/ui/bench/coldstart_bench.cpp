// Cold start of the main window: folders and settings in a fresh base folder, text table,
// session, menus, toolbar, status bar, until the window is shown and painted once.
#include "app/ui/mainwindow.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

int g_argc = 1;
char g_arg0[] = "rd_ui_bench";
char* g_argv[] = {g_arg0, nullptr};

void BM_MainWindowColdStart(benchmark::State& state)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(g_argc, g_argv);
    for (auto _ : state) {
        state.PauseTiming();
        auto home = std::make_unique<QTemporaryDir>();
        state.ResumeTiming();
        MainWindow::Options o;
        o.home = home->path();
        o.startTimers = false;
        auto main = std::make_unique<MainWindow>(std::move(o));
        main->show();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(main->grab().size());
        state.PauseTiming();
        main.reset();
        home.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainWindowColdStart)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
