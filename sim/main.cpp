// variator-sim: a stand-in for the variator on a pseudo-terminal.
//
// Prints the device path of the line as the first line of its output,
// registers the alias com<n> so that the program finds the line as COM n, and
// answers requests until SIGINT or SIGTERM. With --state-file, SIGUSR1 writes
// the stored values to that file, for tests that drive the program from
// outside.

#include "sim/VariatorSim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void PrintHelp()
{
    std::printf(
        "Usage: variator-sim [options]\n"
        "A stand-in for the variator on a pseudo-terminal. Prints the line's device\n"
        "path as its first line of output, registers it as COM port N for tarvo-gui\n"
        "and answers requests until interrupted (SIGINT or SIGTERM).\n"
        "\n"
        "Options:\n"
        "  --com=N          register the line as COM port N (default 7)\n"
        "  --instant        answer at once instead of at the pace of 9600 baud\n"
        "  --trace          print every request and reply on standard error\n"
        "  --value=P:V      store V (thousandths for map points) in parameter P\n"
        "  --state-file=F   on SIGUSR1 write the stored values to F: a line\n"
        "                   \"requests N\", then \"P V\" for every parameter 0-255\n"
        "  --help           show this help\n"
        "\n"
        "Faults, for rehearsing a broken link:\n"
        "%s"
        "\n"
        "Examples:\n"
        "  variator-sim --com=3 --fault=silent,from=20\n"
        "  variator-sim --fault=bad-crc,param=85 --fault=short,2,every=7\n",
        SimFaultHelp().c_str());
}

// The value of "--name=VALUE" or "--name VALUE"; null when arg is not --name.
const char* OptionValue(const char* name, int argc, char** argv, int* i)
{
    const size_t length = std::strlen(name);
    const char* arg = argv[*i];
    if (std::strncmp(arg, name, length) != 0)
        return nullptr;
    if (arg[length] == '=')
        return arg + length + 1;
    if (arg[length] == '\0' && *i + 1 < argc)
        return argv[++*i];
    return nullptr;
}

bool ParseInt(const char* text, int low, int high, int* value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    *value = int(v);
    return true;
}

// Writes the stored values next to path and renames the result over it, so
// that a reader never sees a half-written file.
void WriteState(const VariatorSim& sim, const std::string& path)
{
    const std::string temporary = path + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file)
        return;
    std::fprintf(file, "requests %d\n", sim.RequestCount());
    for (int parameter = 0; parameter < 256; ++parameter)
        std::fprintf(file, "%d %d\n", parameter, int(sim.Value(parameter)));
    if (std::fclose(file) == 0)
        std::rename(temporary.c_str(), path.c_str());
}

int Usage(const std::string& why)
{
    std::fprintf(stderr, "variator-sim: %s (see --help)\n", why.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    int com = 7;
    bool instant = false;
    bool trace = false;
    std::vector<SimFaultRule> faults;
    std::vector<std::pair<int, int>> presets;
    std::string stateFile;

    for (int i = 1; i < argc; ++i) {
        const char* value = nullptr;
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            PrintHelp();
            return 0;
        } else if (!std::strcmp(argv[i], "--instant")) {
            instant = true;
        } else if (!std::strcmp(argv[i], "--trace")) {
            trace = true;
        } else if ((value = OptionValue("--com", argc, argv, &i))) {
            if (!ParseInt(value, 1, 65535, &com))
                return Usage(std::string("bad port number ") + value);
        } else if ((value = OptionValue("--fault", argc, argv, &i))) {
            SimFaultRule rule;
            std::string error;
            if (!ParseSimFault(value, &rule, &error))
                return Usage(error);
            faults.push_back(rule);
        } else if ((value = OptionValue("--state-file", argc, argv, &i))) {
            stateFile = value;
        } else if ((value = OptionValue("--value", argc, argv, &i))) {
            const char* colon = std::strchr(value, ':');
            int parameter = 0;
            int v = 0;
            if (!colon || !ParseInt(std::string(value, colon).c_str(), 0, 255, &parameter)
                || !ParseInt(colon + 1, -32768, 32767, &v))
                return Usage(std::string("bad value ") + value);
            presets.emplace_back(parameter, v);
        } else {
            return Usage(std::string("unknown option ") + argv[i]);
        }
    }

    // The signals are taken by sigwait below; the serving thread inherits the
    // mask and never sees them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    if (!stateFile.empty())
        sigaddset(&stop, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    VariatorSim sim;
    sim.SetInstant(instant);
    sim.SetTrace(trace);
    for (const auto& preset : presets)
        sim.SetValue(preset.first, int16_t(preset.second));
    for (const SimFaultRule& rule : faults)
        sim.AddFault(rule);
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "variator-sim: %s\n", error.c_str());
        return 1;
    }
    const bool aliased = sim.RegisterAlias(com, &error);

    std::printf("%s\n", sim.DevicePath().c_str());
    std::fflush(stdout);
    if (aliased)
        std::fprintf(stderr, "variator-sim: COM%d is %s (alias %s)\n", com,
                     sim.DevicePath().c_str(), sim.AliasPath().c_str());
    else
        std::fprintf(stderr, "variator-sim: no alias for COM%d: %s\n", com, error.c_str());

    int signal = 0;
    while (sigwait(&stop, &signal) != 0 || signal == SIGUSR1) {
        if (signal == SIGUSR1)
            WriteState(sim, stateFile);
        signal = 0;
    }
    sim.Stop();
    return 0;
}
