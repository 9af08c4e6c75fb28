// A child process for the runner suites; the first argument selects what it does.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

extern char **environ;

namespace {

void put(FILE *stream, const char *text)
{
    std::fputs(text, stream);
    std::fflush(stream);
}

int argInt(int argc, char **argv, int index, int fallback)
{
    return index < argc ? std::atoi(argv[index]) : fallback;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "print-then-sleep") { // text seconds
        put(stdout, argv[2]);
        sleep(argInt(argc, argv, 3, 30));
        return 0;
    }
    if (mode == "sleep") {
        sleep(argInt(argc, argv, 2, 30));
        return 0;
    }
    if (mode == "ignore-term") { // survives SIGTERM, only SIGKILL ends it
        std::signal(SIGTERM, SIG_IGN);
        put(stdout, "ignoring");
        for (int i = 0; i < 60; ++i)
            sleep(1);
        return 0;
    }
    if (mode == "interleave") {
        put(stdout, "out1\n");
        usleep(20000);
        put(stderr, "err1\n");
        usleep(20000);
        put(stdout, "out2\n");
        return 0;
    }
    if (mode == "exit") // code [text]
    {
        if (argc > 3)
            put(stdout, argv[3]);
        return argInt(argc, argv, 2, 0);
    }
    if (mode == "env-count") {
        int count = 0;
        for (char **entry = environ; *entry; ++entry)
            ++count;
        std::printf("%d", count);
        return 0;
    }
    if (mode == "env-dump") { // one variable per line, in environ order
        for (char **entry = environ; *entry; ++entry)
            std::printf("%s\n", *entry);
        return 0;
    }
    if (mode == "big") { // bytes: numbered 16-byte lines
        const long total = std::atol(argv[2]);
        char line[32];
        for (long written = 0, n = 0; written < total; written += 16, ++n) {
            std::snprintf(line, sizeof line, "%015ld\n", n);
            std::fwrite(line, 1, 16, stdout);
        }
        return 0;
    }
    if (mode == "invalid-utf8") {
        put(stdout, "ok \xff\xfe then bad");
        return 0;
    }
    if (mode == "utf8") {
        put(stdout, "插件已安装\n");
        put(stderr, "警告\n");
        return 0;
    }
    if (mode == "stdout-stderr") {
        put(stdout, "to-out\n");
        put(stderr, "to-err\n");
        return 0;
    }
    if (mode == "read-stdin") { // counts what arrives on standard input until end-of-file
        long count = 0;
        char buffer[256];
        ssize_t n;
        while ((n = read(0, buffer, sizeof buffer)) > 0)
            count += n;
        std::printf("stdin:%ld", count);
        return 0;
    }
    if (mode == "signal-self") {
        put(stdout, "before");
        std::raise(argInt(argc, argv, 2, SIGTERM));
        sleep(5);
        return 0;
    }
    if (mode == "tick") { // FILE [ignore-term]: appends a line every 20 ms for 30 s, as a long cp would
        if (argc > 3 && std::strcmp(argv[3], "ignore-term") == 0)
            std::signal(SIGTERM, SIG_IGN);
        for (int i = 0; i < 1500; ++i) {
            if (FILE *file = std::fopen(argv[2], "a")) {
                std::fprintf(file, "%d\n", i);
                std::fclose(file);
            }
            usleep(20000);
        }
        return 0;
    }
    std::fprintf(stderr, "unknown mode: %s\n", mode.c_str());
    return 99;
}
