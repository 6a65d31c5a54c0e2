// spoolsmith-print-component: the print component's stand-in.
//   --delay MS           answer every job after MS milliseconds
//   --never-answer       take jobs but never answer
//   --read-delay MS      read each job MS milliseconds after it was written
//   --plan A,B,...       per job: milliseconds or "n" (never); the last holds on
//   --die-holding-mutex  a helper process ends holding LPC_Mutex first
//   --size N             mapping size in bytes (default 84)
//   --shrink NAME:N,...  after the first answer cut those objects to N bytes
//   --log FILE           append what it got to FILE (also on stdout)
// Object names carry the prefix in SPOOLSMITH_NAMED_PREFIX. SIGTERM or
// SIGINT ends it and removes its objects.
#include "tools/print_component/print_component.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

std::atomic<bool> g_stop{false};

void requestStop(int) { g_stop.store(true); }

bool parsePlan(const std::string &text, std::vector<int> &plan)
{
    plan.clear();
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        if (item == "n") {
            plan.push_back(PrintComponent::kNeverAnswer);
            continue;
        }
        char *end = nullptr;
        const long ms = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || ms < 0)
            return false;
        plan.push_back(static_cast<int>(ms));
    }
    return !plan.empty();
}

int usage()
{
    std::fprintf(stderr, "usage: spoolsmith-print-component [--delay MS | --never-answer | --plan A,B,...] [--read-delay MS]"
                         " [--die-holding-mutex] [--size N] [--shrink NAME:N,...] [--log FILE]\n");
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    PrintComponent::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--delay" && hasValue) {
            if (!parsePlan(argv[++i], options.answerPlan) || options.answerPlan.size() != 1)
                return usage();
        } else if (arg == "--plan" && hasValue) {
            if (!parsePlan(argv[++i], options.answerPlan))
                return usage();
        } else if (arg == "--read-delay" && hasValue) {
            options.readDelayMs = std::atoi(argv[++i]);
        } else if (arg == "--never-answer") {
            options.answerPlan = {PrintComponent::kNeverAnswer};
        } else if (arg == "--die-holding-mutex") {
            options.dieHoldingMutex = true;
        } else if (arg == "--shrink" && hasValue) {
            std::stringstream stream(argv[++i]);
            std::string item;
            while (std::getline(stream, item, ',')) {
                const auto colon = item.find(':');
                if (colon == std::string::npos)
                    return usage();
                options.shrinkAfterFirstJob.emplace_back(item.substr(0, colon),
                                                         std::strtol(item.c_str() + colon + 1, nullptr, 10));
            }
        } else if (arg == "--size" && hasValue) {
            options.mappingSize = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--log" && hasValue) {
            options.logPath = argv[++i];
        } else {
            return usage();
        }
    }
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return PrintComponent(options).run(g_stop);
}
