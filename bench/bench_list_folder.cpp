// The window's answer to a folder that changes while it shows 5,000 object lists: one list is
// added, and the benchmark measures the CPU time the user-interface thread spends from the
// file's arrival until both file lists show it. That thread is the window: while it works, the
// window does not answer. The folder's settling pause (the thread sleeps) and the writing of
// the file (another program's work) are not counted. Goal: under 50 ms.
//
//   bench_list_folder [--benchmark_...]

#include <benchmark/benchmark.h>
#include <time.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "config/messages.h"
#include "link/fake_port.h"
#include "link/nimbralib.h"
#include "link/operations.h"
#include "settings/settings.h"
#include "workbench/main_form.h"

namespace {

constexpr int kLists = 5000;

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void write_list(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write("A list made for the benchmark\r\n[LISTS]\r\n[CLASSES]\r\n[OBJECTS]\r\n");
}

bool shows(const QListWidget& box, const QString& name) {
    return !box.findItems(name, Qt::MatchExactly).isEmpty();
}

void ListAddedToALargeFolder(benchmark::State& state) {
    QTemporaryDir dir;
    const QString lists = dir.filePath(QStringLiteral("lists"));
    QDir(dir.path()).mkdir(QStringLiteral("lists"));
    for (int i = 0; i < kLists; ++i)
        write_list(lists + QStringLiteral("/list%1.nol").arg(i, 4, 10, QLatin1Char('0')));
    qputenv("VEXILO_SETTINGS", dir.filePath(QStringLiteral("settings")).toLocal8Bit());
    vexilo::store_text_setting("Root Folder", lists.toStdString());
    vexilo::store_text_setting("List Folder", lists.toStdString());

    vexilo::Tnimbra_lib link(std::make_unique<vexilo::test::FakePort>());
    vexilo::InstrumentOperations operations(link);
    vexilo::TMainForm form({QStringLiteral("/support")}, operations);
    form.show();
    QListWidget& send_tab = *form.findChild<QListWidget*>(QStringLiteral("file_box"));
    QListWidget& panel = *form.findChild<QListWidget*>(QStringLiteral("file_box_1"));
    // Let the folder trees and the first fill settle.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (send_tab.count() != kLists) state.SkipWithError("the folder did not list");

    int added = 0;
    for (auto _ : state) {
        const QString name = QStringLiteral("new%1").arg(added++);
        // Another program writes the file: its cost is not the window's.
        write_list(lists + QLatin1Char('/') + name + QStringLiteral(".nol"));
        const double cpu_before = thread_cpu_seconds();
        // The thread sleeps between events, as the window's does. Counting the rows costs
        // nothing; looking for the name is left to the end.
        const int expected = kLists + added;
        QEventLoop loop;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (send_tab.count() == expected && panel.count() == expected) loop.quit();
        });
        look.start(2);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = thread_cpu_seconds() - cpu_before;
        if (!shows(send_tab, name) || !shows(panel, name))
            state.SkipWithError("the new list never showed");
        state.SetIterationTime(cpu);
    }
    state.counters["lists"] = kLists;
}
BENCHMARK(ListAddedToALargeFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
