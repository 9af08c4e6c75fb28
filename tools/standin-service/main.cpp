// corvanta-standin-service: a local stand-in of the vendor service for the local run and tests.
// See --help for the options.

#include "ReleaseCatalog.h"
#include "StandinOptions.h"
#include "StandinServer.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

int main(int argc, char *argv[])
{
#ifdef Q_OS_LINUX
    // Never outlive the test or script that started us.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    // Block the stop signals before any thread exists; one thread waits for them and stops the
    // server, so the temporary archives are removed on the way out.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvanta-standin-service"));
    const StandinOptions options = StandinOptions::parse(app);

    QTemporaryDir workDir;
    if (!workDir.isValid()) {
        std::fprintf(stderr, "corvanta-standin-service: no temporary directory\n");
        return 1;
    }
    try {
        const ReleaseCatalog catalog(options, workDir.path());
        StandinServer server(options, catalog);
        const int port = server.bind(options.port);
        if (port < 0) {
            std::fprintf(stderr, "corvanta-standin-service: cannot listen on %s:%d\n", qPrintable(options.host), options.port);
            return 1;
        }
        std::printf("listening on %s:%d\n", qPrintable(options.host), port);
        std::fflush(stdout);

        std::thread signalWaiter([&stopSignals, &server] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            server.stop();
        });
        signalWaiter.detach();
        server.run();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "corvanta-standin-service: %s\n", error.what());
        return 1;
    }
    return 0;
}
