// Runs PGP. The wait is a nested event loop ended by the process's own
// signals, so windows stay live, nested runs work and no time is lost polling.
#include "platform/SystemProcessRunner.h"

#include "Charset.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

QString q(const std::string &s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

// QProcess takes its arguments as text: bytes that are no UTF-8 (a user ID
// in Windows Latin-1 for pgp) would reach the program as U+FFFD. Such a
// command line is executed from these bytes instead.
struct RawExec {
    std::vector<std::string> argv, envp;
    std::vector<char *> argvPtr, envPtr;
    std::string program;

    // False when QProcess can carry the command line as it stands.
    bool prepare(const std::vector<std::string> &cmd, const QProcessEnvironment &env)
    {
        bool needed = false;
        for (const auto &a : cmd)
            needed = needed || !charset::isValidUtf8(a);
        if (!needed || cmd.empty())
            return false;
        program = cmd[0];
        if (program.find('/') == std::string::npos)
            program = QStandardPaths::findExecutable(q(program)).toLocal8Bit().toStdString();
        argv = cmd;
        for (const QString &e : env.toStringList())
            envp.push_back(e.toLocal8Bit().toStdString());
        for (auto &a : argv)
            argvPtr.push_back(a.data());
        argvPtr.push_back(nullptr);
        for (auto &e : envp)
            envPtr.push_back(e.data());
        envPtr.push_back(nullptr);
        return !program.empty();
    }
};

std::string tempDirectory()
{
    const char *t = std::getenv("TMPDIR");
    if (t && t[0] == '/')
        return t;
    return "/tmp";
}

// The pass phrase for a terminal that does not hand on descriptors: a named
// pipe in a fresh 0700 folder, so it lives in the kernel's pipe buffer and
// never in a file. The runner holds it open read-write (on Linux that opens
// without a reader and keeps the buffered line), and lets go once the
// wrapper has opened it and removed the name; the reader then sees the line
// and end of file.
struct PassFifo {
    std::string dir, path;
    int fd = -1;
    ~PassFifo() { release(); }
    void closeWriter()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void release()
    {
        closeWriter();
        if (!path.empty())
            ::unlink(path.c_str());
        if (!dir.empty())
            ::rmdir(dir.c_str());
        path.clear();
        dir.clear();
    }
    bool create(const std::string &line)
    {
        std::string tmpl = tempDirectory() + "/quorbix-pass.XXXXXX";
        if (!::mkdtemp(tmpl.data()))
            return false;
        dir = tmpl;
        path = dir + "/pass";
        if (::mkfifo(path.c_str(), 0600) != 0) {
            path.clear();
            return false;
        }
        fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            return false;
        ssize_t n;
        do
            n = ::write(fd, line.data(), line.size());
        while (n < 0 && errno == EINTR);
        return n == static_cast<ssize_t>(line.size());
    }
    // The wrapper removes the name right after opening it.
    bool taken() const
    {
        struct stat st {};
        return !path.empty() && ::lstat(path.c_str(), &st) != 0;
    }
};

// A private temporary file; returns its path, or empty on failure.
std::string makeTempFile(const std::string &prefix, const std::string &content)
{
    std::string tmpl = tempDirectory() + "/" + prefix + "XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return {};
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmpl.c_str());
            return {};
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return tmpl;
}

// Runs the program, records its exit status for the runner, and keeps the
// window until Enter when it is not to close by itself.
const char *kConsoleWrapper =
    "st=\"$1\"; close=\"$2\"; pass=\"$3\"; out=\"$4\"; title=\"$5\"; shift 5\n"
    "printf '\\033]0;%s\\007' \"$title\"\n"
    "if [ -n \"$pass\" ]; then exec 9<\"$pass\"; rm -f \"$pass\"; PGPPASSFD=9; export PGPPASSFD; fi\n"
    "case \"$out\" in\n"
    "  '') \"$@\" ;;\n"
    "  fd:*) n=${out#fd:}; eval '\"$@\" 1>&'\"$n\" \"$n\"'>&-' ;;\n"
    "  *) \"$@\" >>\"$out\" ;;\n"
    "esac\n"
    "rc=$?\n"
    "exec 9<&-\n"
    "printf '%d\\n' \"$rc\" >\"$st\"\n"
    "if [ \"$close\" = 0 ]; then printf '\\n[Enter] '; read dummy; fi\n";

struct Fds {
    int out = -1;
    int passRead = -1;
    ~Fds()
    {
        if (out >= 0)
            ::close(out);
        if (passRead >= 0)
            ::close(passRead);
    }
};

} // namespace

std::vector<std::string> SystemProcessRunner::terminalCommand(const std::string &title)
{
    std::vector<std::string> words;
    const char *env = std::getenv("QUORBIX_TERMINAL");
    std::string job = env && *env ? env : "xterm";
    std::size_t pos = 0;
    while (pos < job.size()) {
        std::size_t b = job.find_first_not_of(" \t", pos);
        if (b == std::string::npos)
            break;
        std::size_t e = job.find_first_of(" \t", b);
        words.push_back(job.substr(b, e == std::string::npos ? std::string::npos : e - b));
        pos = e == std::string::npos ? job.size() : e;
    }
    if (words.empty())
        words.push_back("xterm");
    if (terminalKeepsDescriptors() && words.size() == 1) {
        words.push_back("-T");
        words.push_back(title);
    }
    const std::string &last = words.back();
    if (last != "-e" && last != "-x" && last != "--")
        words.push_back("-e");
    return words;
}

bool SystemProcessRunner::terminalKeepsDescriptors()
{
    const char *env = std::getenv("QUORBIX_TERMINAL");
    if (!env || !*env)
        return true;
    std::string first(env);
    first = first.substr(0, first.find_first_of(" \t"));
    std::string base = first.substr(first.rfind('/') == std::string::npos ? 0 : first.rfind('/') + 1);
    return base == "xterm" || base == "uxterm";
}

ProcessResult SystemProcessRunner::runAndWait(const ProcessJob &job)
{
    ProcessResult result;
    Fds fds;
    const bool console = job.showState == 5;

    if (!job.workDir.empty()) {
        struct stat st {};
        if (::stat(job.workDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            result.error = "Pfad nicht gefunden: " + job.workDir;
            return result;
        }
    }

    // Standard output goes into the file the caller created; a link planted
    // there since is not followed.
    // A console run hands the descriptor through xterm; other terminals get
    // the path.
    const bool outByFd = job.stdoutFile && (!console || terminalKeepsDescriptors());
    if (outByFd) {
        fds.out = ::open(job.stdoutFile->c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
        if (fds.out < 0) {
            result.error = systemErrorText(errno) + ": " + *job.stdoutFile;
            return result;
        }
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("PGPPASSFD"); // never hand on a descriptor number meant for us
    std::string passFile;
    PassFifo fifo;
    if (job.passPhrase) {
        const std::string line = *job.passPhrase + "\n";
        if (console && !terminalKeepsDescriptors()) {
            if (!fifo.create(line)) {
                result.error = "Konnte die Mantra-Übergabe nicht anlegen";
                return result;
            }
            passFile = fifo.path;
        } else {
            int p[2];
            if (::pipe2(p, O_CLOEXEC) != 0) {
                result.error = systemErrorText(errno);
                return result;
            }
            // The whole line goes into the pipe before the start, so the
            // child reads it and then end of file; a line beyond the pipe's
            // capacity is refused rather than blocking the window.
            ::fcntl(p[1], F_SETFL, O_NONBLOCK);
            ssize_t n = ::write(p[1], line.data(), line.size());
            ::close(p[1]);
            fds.passRead = p[0];
            if (n != static_cast<ssize_t>(line.size())) {
                result.error = "Mantra zu lang";
                return result;
            }
            env.insert("PGPPASSFD", QString::number(fds.passRead));
        }
    }

    auto *proc = new QProcess;
    proc->setProcessEnvironment(env);
    if (!job.workDir.empty())
        proc->setWorkingDirectory(q(job.workDir));
    proc->setProcessChannelMode(QProcess::ForwardedChannels);
    proc->setStandardInputFile(QProcess::nullDevice());

    std::string statusFile;
    std::vector<std::string> cmd;
    if (console) {
        statusFile = makeTempFile("quorbix-status.", "");
        if (statusFile.empty()) {
            delete proc;
            result.error = "Konnte keine temporäre Datei anlegen";
            return result;
        }
        cmd = terminalCommand(job.consoleTitle);
        for (const char *w : {"/bin/sh", "-c", kConsoleWrapper, "quorbix-console"})
            cmd.push_back(w);
        cmd.push_back(statusFile);
        cmd.push_back(job.closeOnExit ? "1" : "0");
        cmd.push_back(passFile);
        cmd.push_back(outByFd ? "fd:" + std::to_string(fds.out) : job.stdoutFile.value_or(std::string()));
        cmd.push_back(job.consoleTitle);
        cmd.push_back(job.program);
    } else {
        cmd.push_back(job.program);
    }
    cmd.insert(cmd.end(), job.args.begin(), job.args.end());
    QStringList args;
    for (std::size_t i = 1; i < cmd.size(); ++i)
        args << q(cmd[i]);
    proc->setProgram(q(cmd[0]));
    proc->setArguments(args);
    RawExec raw;
    char *rawProgram = nullptr, *const *rawArgv = nullptr, *const *rawEnv = nullptr;
    if (raw.prepare(cmd, env)) {
        rawProgram = raw.program.data();
        rawArgv = raw.argvPtr.data();
        rawEnv = raw.envPtr.data();
    }

    const int outFd = fds.out, passFd = fds.passRead;
    proc->setChildProcessModifier([outFd, passFd, console, rawProgram, rawArgv, rawEnv] {
        // Runs in the child between fork and exec: only async-signal-safe calls.
        if (outFd >= 0 && console)
            ::fcntl(outFd, F_SETFD, 0);
        else if (outFd >= 0)
            ::dup2(outFd, STDOUT_FILENO);
        if (passFd >= 0)
            ::fcntl(passFd, F_SETFD, 0);
        // On failure QProcess's own exec fails the same way and reports it.
        if (rawProgram)
            ::execve(rawProgram, rawArgv, rawEnv);
    });

    QEventLoop loop;
    bool failed = false, quitting = false;
    QObject::connect(proc, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(proc, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            failed = true;
            loop.quit();
        } else if (proc->state() == QProcess::NotRunning) {
            loop.quit();
        }
    });
    if (QCoreApplication *app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, &loop, [&] {
            quitting = true;
            loop.quit();
        });

    QTimer fifoWatch;
    if (fifo.fd >= 0) {
        QObject::connect(&fifoWatch, &QTimer::timeout, &loop, [&] {
            if (fifo.taken()) {
                fifo.closeWriter();
                fifoWatch.stop();
            }
        });
        fifoWatch.start(10);
    }

    proc->start();
    if (!failed && proc->state() != QProcess::NotRunning)
        loop.exec();
    fifoWatch.stop();
    // A wrapper that has not opened the pipe yet finds no name and ends.
    fifo.release();
    // The read end now lives in the child (or the start failed).
    if (fds.passRead >= 0) {
        ::close(fds.passRead);
        fds.passRead = -1;
    }

    if (failed || (proc->state() == QProcess::NotRunning && proc->error() == QProcess::FailedToStart)) {
        result.error = proc->errorString().toStdString();
        delete proc;
        if (!statusFile.empty())
            ::unlink(statusFile.c_str());
        return result;
    }
    result.started = true;
    if (quitting || proc->state() != QProcess::NotRunning) {
        // The program ends; PGP is left to finish on its own, as the process
        // object is not destroyed (that would kill it).
        proc->disconnect();
#ifdef __SANITIZE_ADDRESS__
        __lsan_ignore_object(proc); // kept on purpose, not lost
#endif
        result.quitRequested = true;
        return result;
    }

    if (console) {
        result.exitCode = -1;
        std::string text;
        try {
            text = systemFileSystem().readFile(statusFile);
        } catch (const PlatformError &) {
        }
        if (!text.empty()) {
            char *end = nullptr;
            long v = std::strtol(text.c_str(), &end, 10);
            if (end != text.c_str())
                result.exitCode = static_cast<int>(v);
        } else {
            result.error = "Das Konsolenfenster wurde vor dem Ende des Programms geschlossen";
        }
        ::unlink(statusFile.c_str());
    } else {
        result.exitCode = proc->exitStatus() == QProcess::NormalExit ? proc->exitCode() : -1;
        if (proc->exitStatus() == QProcess::CrashExit)
            result.error = proc->errorString().toStdString();
    }
    delete proc;
    return result;
}

DetachedResult SystemProcessRunner::startDetached(const std::string &program, const std::vector<std::string> &args,
                                                  const std::string &workDir)
{
    // The codes the shell gives for these cases: 2 file, 3 path, 5 access.
    DetachedResult r;
    if (!workDir.empty()) {
        struct stat st {};
        if (::stat(workDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            r.code = 3;
            r.error = "Pfad nicht gefunden: " + workDir;
            return r;
        }
    }
    QString exe = q(program);
    if (!program.empty() && program.find('/') == std::string::npos)
        exe = QStandardPaths::findExecutable(exe);
    if (exe.isEmpty() || !QFileInfo::exists(exe)) {
        r.code = 2;
        r.error = "Datei nicht gefunden: " + program;
        return r;
    }
    if (!QFileInfo(exe).isExecutable() || QFileInfo(exe).isDir()) {
        r.code = 5;
        r.error = "Zugriff verweigert: " + program;
        return r;
    }
    QProcess p;
    p.setProgram(exe);
    QStringList a;
    for (const auto &s : args)
        a << q(s);
    p.setArguments(a);
    if (!workDir.empty())
        p.setWorkingDirectory(q(workDir));
    p.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    // What the script writes (the key list) is for this user only; the
    // child takes the mask it was started with.
    const mode_t oldMask = ::umask(077);
    const bool started = p.startDetached(&pid);
    ::umask(oldMask);
    if (!started) {
        r.code = 2;
        r.error = p.errorString().toStdString();
        return r;
    }
    r.ok = true;
    r.code = 33; // the shell's success results are above 32
    return r;
}

ProcessRunner &systemProcessRunner()
{
    static SystemProcessRunner runner;
    return runner;
}

DetachedResult startScriptDetached(ProcessRunner &runner, const FileSystem &fs, const std::string &script,
                                   const std::string &workDir)
{
    DetachedResult r;
    if (!fs.exists(script)) {
        r.code = 2;
        r.error = "Datei nicht gefunden: " + script;
        return r;
    }
    if (!workDir.empty() && !fs.isDirectory(workDir)) {
        r.code = 3;
        r.error = "Pfad nicht gefunden: " + workDir;
        return r;
    }
    return runner.startDetached("/bin/sh", {script}, workDir);
}

} // namespace platform
