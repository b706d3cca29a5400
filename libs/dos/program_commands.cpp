// Bindings of Execute, Run and GetTempFileName, and the temporary files the library deletes at shutdown
// (GetTempFileName's and the programs extracted from the applet).
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "host/path.h"
#include "host/subprocess.h"
#include "host/tasks.h"
#include "host/virtual_file.h"
#include "libs/dos/dos_library.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"

namespace {

struct TempFile {
    std::string name;   // in "T:"
    std::string source; // the ":::chunk" name extracted into it, "" for GetTempFileName's
};

std::vector<TempFile> TempFileList;

// The program name (up to a blank, or quoted) and the argument text after the blanks that follow it.
int SplitCommandLine(const std::string &line, std::string *program, std::string *arguments) {
    size_t end;
    if (line[0] == '"') {
        end = line.find('"', 1);
        if (end == std::string::npos) return kErrWrongUsage;
        *program = line.substr(1, end - 1);
        ++end;
    } else {
        end = line.find(' ');
        if (end == std::string::npos) end = line.size();
        *program = line.substr(0, end);
    }
    size_t start = line.find_first_not_of(' ', end);
    *arguments = start == std::string::npos ? "" : line.substr(start);
    return program->empty() ? kErrWrongUsage : 0;
}

// A linked program's data in a private temporary file, extracted once per run with its extension kept.
int ExtractLinkedProgram(const std::string &chunkName, std::string *path) {
    for (const TempFile &file : TempFileList) {
        if (file.source == chunkName) {
            *path = file.name;
            return 0;
        }
    }
    ChunkNameParts parts;
    ParseChunkName(chunkName.c_str(), &parts);
    size_t dot = parts.name.find_last_of("./");
    std::string extension = dot != std::string::npos && parts.name[dot] == '.' ? parts.name.substr(dot) : "";
    std::string name;
    int fd = MakeTempFile(extension.c_str(), &name);
    if (fd < 0) {
        SetErrorArgString("T:");
        return kErrCannotWriteFile;
    }
    TempFileList.push_back({name, chunkName});
    VirtualFile *data = OpenVirtualFile(chunkName.c_str(), kVirtualFileRead);
    int error = data ? 0 : kErrCannotReadFile;
    char buffer[16384];
    while (!error) {
        int64_t n = ReadVirtualFile(data, buffer, sizeof buffer);
        if (n < 0) error = kErrCannotReadFile;
        if (n <= 0) break;
        if (write(fd, buffer, static_cast<size_t>(n)) != n) error = kErrCannotWriteFile;
    }
    CloseVirtualFile(data);
    if (!error && fchmod(fd, 0700) != 0) error = kErrCannotWriteFile;
    if (close(fd) != 0 && !error) error = kErrCannotWriteFile;
    if (error) {
        SetErrorArgString(error == kErrCannotReadFile ? chunkName : name);
        unlink(name.c_str());
        TempFileList.pop_back();
        return error;
    }
    *path = name;
    return 0;
}

int RunCommand(VMState *vm, int asynchronous) {
    CheckArgs(vm, 1, 1);
    std::string line = CheckStringArg(vm, 1);
    if (line.empty()) return kErrWrongUsage;
    std::string program, arguments;
    if (int error = SplitCommandLine(line, &program, &arguments)) return error;
    int linked = 0;
    std::string mapped = FindLinkedFile(vm, program.c_str(), 0, &linked);
    if (linked) {
        if (int error = ExtractLinkedProgram(mapped, &program)) return error;
    }
    int error = StartProgram(program.c_str(), arguments.c_str(), asynchronous);
    // Keys and buttons held when the program took the focus are not held any more.
    if (CurrentDisplay) ResetDisplayInputState(CurrentDisplay);
    return error;
}

} // namespace

void DeleteAllTempFiles() {
    for (const TempFile &file : TempFileList) unlink(file.name.c_str());
    TempFileList.clear();
}

int CmdExecute(VMState *vm) {
    return RunCommand(vm, 0);
}

int CmdRun(VMState *vm) {
    return RunCommand(vm, 1);
}

int CmdGetTempFileName(VMState *vm) {
    CheckArgs(vm, 0, 0);
    std::string name;
    int fd = MakeTempFile("", &name);
    if (fd < 0) {
        SetErrorArgString("T:");
        return kErrCannotWriteFile;
    }
    close(fd);
    TempFileList.push_back({name, ""});
    PushString(vm, name.c_str());
    return 1;
}
