// The conformance driver: runs drawing scripts through the Win32 API and
// writes every frame they drew to a results file. The same source builds
// for Windows (run under Wine, the reference) and against the platform layer.
//
//   kp-conformance-driver [--seed N] [--only NAME,...] [--script-file FILE] [--print] OUT
//
// Without --script-file it runs the built-in scripts (all, or those named
// by --only) generated from the seed; --print writes their text to OUT
// instead of running them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "host.h"
#include "library.h"
#include "runner.h"

namespace {

int Usage()
{
    fprintf(stderr, "usage: kp-conformance-driver [--seed N] [--only NAME,...] "
                    "[--script-file FILE] [--print] OUT\n");
    return 2;
}

bool Selected(const std::string &only, const std::string &name)
{
    if (only.empty())
        return true;
    std::istringstream names(only);
    for (std::string n; std::getline(names, n, ',');) {
        if (n == name)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char **argv)
{
    uint64_t seed = 1;
    std::string only, scriptFile, outPath;
    bool print = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--seed" && i + 1 < argc)
            seed = strtoull(argv[++i], nullptr, 10);
        else if (a == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (a == "--script-file" && i + 1 < argc)
            scriptFile = argv[++i];
        else if (a == "--print")
            print = true;
        else if (outPath.empty() && !a.empty() && a[0] != '-')
            outPath = a;
        else
            return Usage();
    }
    if (outPath.empty())
        return Usage();

    std::vector<conf::Script> scripts;
    if (!scriptFile.empty()) {
        std::ifstream in(scriptFile);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            fprintf(stderr, "cannot read %s\n", scriptFile.c_str());
            return 2;
        }
        scripts.push_back({scriptFile, text.str()});
    } else {
        for (auto &s : conf::BuiltinScripts(seed)) {
            if (Selected(only, s.name))
                scripts.push_back(std::move(s));
        }
        if (scripts.empty()) {
            fprintf(stderr, "no built-in script is called %s\n", only.c_str());
            return 2;
        }
    }

    if (print) {
        std::ofstream out(outPath);
        for (const auto &s : scripts)
            out << "# ---- " << s.name << "\n" << s.text;
        return out ? 0 : 1;
    }

    conf::StartHost();
    conf::ResultsWriter writer;
    int rc = 0;
    if (!writer.Open(outPath)) {
        fprintf(stderr, "cannot write %s\n", outPath.c_str());
        rc = 2;
    }
    int frames = 0;
    for (size_t i = 0; rc == 0 && i < scripts.size(); ++i) {
        conf::Runner runner(&writer);
        std::string error;
        if (!runner.Run(scripts[i].text, &error)) {
            fprintf(stderr, "script %s: %s\n", scripts[i].name.c_str(), error.c_str());
            rc = 1;
        }
        frames += runner.FramesWritten();
    }
    if (rc == 0 && !writer.Close()) {
        fprintf(stderr, "error writing %s\n", outPath.c_str());
        rc = 2;
    }
    conf::StopHost();
    if (rc == 0)
        printf("%d frames from %zu scripts written to %s\n", frames, scripts.size(),
               outPath.c_str());
    return rc;
}
