// Runs the built weirlink program as a technician's shell would, with its output in files.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

struct Result {
    int status = -1;
    std::string out;
    std::string err;

    std::vector<std::string> ErrorLines() const
    {
        std::vector<std::string> lines;
        std::istringstream text(err);
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    std::string LastErrorLine() const
    {
        const std::vector<std::string> lines = ErrorLines();
        return lines.empty() ? "" : lines.back();
    }
};

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One run of the program; stdout and stderr go to files in a folder.
class CProgramRun {
public:
    // stdoutPath: where stdout goes; empty for a file of the run's own.
    CProgramRun(const std::string& folder, const std::vector<std::string>& args,
                const std::string& stdoutPath = {})
        : outPath(stdoutPath.empty() ? folder + "/.stdout" : stdoutPath),
          errPath(folder + "/.stderr"),
          keepOut(stdoutPath.empty())
    {
        // Everything the child needs is made before the fork: a test process with a
        // simulated unit on another thread must not allocate between fork and exec.
        std::vector<std::string> all{WEIRLINK_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        const char* out = outPath.c_str();
        const char* err = errPath.c_str();

        pid = ::fork();
        if (pid == 0) {
            const int outFd = ::open(out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int errFd = ::open(err, O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0)
                ::_exit(127);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    CProgramRun(const CProgramRun&) = delete;
    CProgramRun& operator=(const CProgramRun&) = delete;
    ~CProgramRun()
    {
        if (!waited && pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // What the program has written to stderr so far.
    std::string ErrorSoFar() const { return ReadFile(errPath); }
    void Signal(int signal) const { ::kill(pid, signal); }

    Result Wait()
    {
        Result result;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.status = WEXITSTATUS(status);
        waited = true;
        if (keepOut) result.out = ReadFile(outPath);
        result.err = ReadFile(errPath);
        return result;
    }

private:
    std::string outPath;
    std::string errPath;
    bool keepOut;
    pid_t pid = -1;
    bool waited = false;
};

inline Result RunProgram(const std::string& folder, const std::vector<std::string>& args,
                         const std::string& stdoutPath = {})
{
    return CProgramRun(folder, args, stdoutPath).Wait();
}
