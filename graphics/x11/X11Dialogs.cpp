#include "graphics/x11/X11Dialogs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace halvane {

namespace x11 {

namespace {

bool OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0)
            return true;
    return false;
}

std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// Forks a child that runs the program with stdout on outFd (or /dev/null);
// execution failures are reported through a close-on-exec pipe.
pid_t Start(const std::vector<std::string>& args, int outFd, bool detach) {
    int status[2];
    if (args.empty() || pipe2(status, O_CLOEXEC) != 0)
        return -1;
    std::vector<char*> argv = Argv(args); // built before fork: no allocation in the child
    const pid_t pid = fork();
    if (pid == 0) {
        if (detach && fork() != 0)
            _exit(0); // the grandchild runs on, adopted by init
        const int null = open("/dev/null", O_RDWR);
        dup2(outFd >= 0 ? outFd : null, 1);
        dup2(null, 0);
        execvp(argv[0], argv.data());
        const int error = errno;
        (void)!write(status[1], &error, sizeof(error));
        _exit(127);
    }
    close(status[1]);
    if (pid < 0) {
        close(status[0]);
        return -1;
    }
    if (detach)
        waitpid(pid, nullptr, 0);
    int error = 0;
    const ssize_t n = read(status[0], &error, sizeof(error));
    close(status[0]);
    if (n > 0) {
        if (!detach)
            waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

std::string Filter(const char* extensions) {
    std::stringstream words(extensions ? extensions : "");
    std::string word, patterns;
    while (words >> word)
        patterns += (patterns.empty() ? "*." : " *.") + word;
    return patterns;
}

} // namespace

std::string DialogProgram() {
    if (OnPath("zenity"))
        return "zenity";
    if (OnPath("kdialog"))
        return "kdialog";
    return "";
}

int RunAndRead(const std::vector<std::string>& args, std::string& output,
               const std::function<void()>& whileWaiting) {
    output.clear();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = Start(args, out[1], false);
    close(out[1]);
    if (pid < 0) {
        close(out[0]);
        return -1;
    }
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        const int ready = poll(&p, 1, 40);
        if (ready > 0) {
            char buffer[4096];
            const ssize_t n = read(out[0], buffer, sizeof(buffer));
            if (n <= 0)
                break;
            output.append(buffer, static_cast<std::size_t>(n));
        } else if (ready < 0 && errno != EINTR) {
            break;
        }
        if (whileWaiting)
            whileWaiting();
    }
    close(out[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Launch(const std::vector<std::string>& args) {
    return Start(args, -1, true) >= 0;
}

std::vector<std::string> MessageBoxCommand(const std::string& program, const char* text,
                                           const char* caption, ShellDialogs::BoxKind kind,
                                           unsigned long parentWindow) {
    const std::string body = text ? text : "";
    const std::string title = caption ? caption : "";
    using Kind = ShellDialogs::BoxKind;
    if (program == "kdialog") {
        const char* type = kind == Kind::kYesNo     ? "--yesno"
                           : kind == Kind::kErrorOk ? "--error"
                                                    : "--msgbox";
        return {program, "--attach", std::to_string(parentWindow), "--title", title, type, body};
    }
    const char* type = kind == Kind::kYesNo     ? "--question"
                       : kind == Kind::kErrorOk ? "--error"
                                                : "--info";
    // zenity reads markup in the text; --no-markup shows it as written.
    return {program, type, "--no-markup", "--title", title, "--text", body};
}

std::vector<std::string> FileDialogCommand(const std::string& program,
                                           ShellDialogs::FileAction action,
                                           const std::string& start, const char* extensions,
                                           unsigned long parentWindow) {
    const bool save = action == ShellDialogs::FileAction::kSave;
    const std::string filter = Filter(extensions);
    if (program == "kdialog") {
        std::vector<std::string> args = {program, "--attach", std::to_string(parentWindow),
                                         save ? "--getsavefilename" : "--getopenfilename", start};
        if (!filter.empty())
            args.push_back(filter);
        return args;
    }
    std::vector<std::string> args = {program, "--file-selection", "--filename=" + start};
    if (save)
        args.insert(args.end(), {"--save", "--confirm-overwrite"});
    if (!filter.empty())
        args.push_back("--file-filter=" + filter + " | " + filter);
    return args;
}

std::vector<std::string> ColorDialogCommand(const std::string& program, const IColor& color,
                                            const char* title, unsigned long parentWindow) {
    const std::string caption = title ? title : "";
    if (program == "kdialog")
        return {program,     "--attach",      std::to_string(parentWindow),
                "--title",   caption,         "--getcolor",
                "--default", ColorText(color)};
    return {program, "--color-selection", "--title=" + caption, "--color=" + ColorText(color)};
}

namespace {

// Hex digits only, of a length that gives three equal channels of 1 to 4 digits.
bool ParseHex(const std::string& digits, IColor& color) {
    const std::size_t n = digits.size();
    if (n == 0 || n % 3 != 0 || n > 12)
        return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    const std::size_t width = n / 3;
    const double top = std::pow(16.0, static_cast<double>(width)) - 1.0;
    int channel[3];
    for (int i = 0; i < 3; ++i) {
        const unsigned long v = std::strtoul(
            digits.substr(static_cast<std::size_t>(i) * width, width).c_str(), nullptr, 16);
        channel[i] = static_cast<int>(std::lround(static_cast<double>(v) * 255.0 / top));
    }
    color = IColor(255, channel[0], channel[1], channel[2]);
    return true;
}

// Numbers separated by commas and blanks, each 0 to 255 (the fourth, alpha, is read and dropped).
bool ParseNumbers(const std::string& text, std::size_t wanted, std::size_t allowed, IColor& color) {
    std::string spaced = text;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream in(spaced);
    std::vector<double> values;
    double v = 0.0;
    while (in >> v)
        values.push_back(v);
    if (!in.eof() || values.size() < wanted || values.size() > allowed)
        return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (values[i] < 0.0 || values[i] > 255.0)
            return false;
    color =
        IColor(255, static_cast<int>(std::lround(values[0])),
               static_cast<int>(std::lround(values[1])), static_cast<int>(std::lround(values[2])));
    return true;
}

} // namespace

bool ParseColor(const std::string& text, IColor& color) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return false;
    const std::string trimmed = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (trimmed[0] == '#')
        return ParseHex(trimmed.substr(1), color);
    for (const char* prefix : {"rgba(", "rgb("}) {
        const std::string p(prefix);
        if (trimmed.compare(0, p.size(), p) == 0 && trimmed.back() == ')')
            return ParseNumbers(trimmed.substr(p.size(), trimmed.size() - p.size() - 1), 3,
                                p.size() == 5 ? 4 : 3, color);
    }
    return ParseNumbers(trimmed, 3, 3, color);
}

std::string ColorText(const IColor& color) {
    char text[8];
    std::snprintf(text, sizeof(text), "#%02x%02x%02x", std::clamp(color.r, 0, 255) & 0xff,
                  std::clamp(color.g, 0, 255) & 0xff, std::clamp(color.b, 0, 255) & 0xff);
    return text;
}

} // namespace x11

} // namespace halvane
