// The window's test program: "window_tests <unit> [QtTest arguments]" runs the
// test class of <unit>_test.cpp, as CTest does one unit a process; no unit, all.
#include <cstdio>

#include "support/window_fixture.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);  // as QTEST_MAIN sets it
    QTemporaryDir config;  // the user's file, where the theme goes, is the run's own
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qelvor::SetStringLanguage(qelvor::UiLanguage::English);  // until a test picks another
    auto tests = qelvor::test::WindowTests();
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1 && argv[1][0] != '-') {
        const auto one = tests.find(argv[1]);
        if (one == tests.end()) {
            std::fprintf(stderr, "%s: no window test of the unit %s\n", argv[0], argv[1]);
            return 2;
        }
        tests = {*one};
        args.erase(args.begin() + 1);
    }
    int failed = 0;
    for (const auto& [unit, make] : tests) {
        const std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    return failed;
}
