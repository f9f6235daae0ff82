#pragma once
// A systemctl stand-in for tests: a shell script that appends each call's arguments to a
// log, and a unit folder. Marker files make a verb fail or take a while.

#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/tests/test_files.h"

namespace ixan::test {

class FakeSystemctl {
  public:
    FakeSystemctl() {
        std::filesystem::create_directories(unitDir());
        writeFile(program(),
                  "#!/bin/sh\n"
                  "dir=$(dirname \"$0\")\n"
                  "echo \"$*\" >> \"$dir/calls.log\"\n"
                  "if [ -e \"$dir/slow-$1\" ]; then sleep 0.3; echo \"$1 finished\" >> "
                  "\"$dir/calls.log\"; fi\n"
                  "if [ -e \"$dir/fail-$1\" ]; then exit 1; fi\n"
                  "exit 0\n");
        ::chmod(program().c_str(), 0755);
    }

    std::string program() const { return dir_.file("systemctl"); }
    std::string unitDir() const { return dir_.file("units"); }

    // The service counts as installed once its unit file is in the unit folder.
    void installService() const { writeFile(unitDir() + "/IXAN.service", "[Unit]\n"); }
    void failVerb(const std::string& verb) const { writeFile(dir_.file("fail-" + verb), ""); }
    void slowVerb(const std::string& verb) const { writeFile(dir_.file("slow-" + verb), ""); }

    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::istringstream in(readFile(dir_.file("calls.log")));
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // The calls that change the service (everything but the reachability probe).
    std::vector<std::string> serviceRequests() const {
        std::vector<std::string> requests;
        for (const std::string& c : calls()) {
            if (c != "show-environment") {
                requests.push_back(c);
            }
        }
        return requests;
    }

  private:
    TempDir dir_;
};

}  // namespace ixan::test
