// The "dos" command library: registration, its constants and its share of shutdown.
#pragma once

#include <cstddef>
#include <string>

#include "runtime/app/command.h"

extern const LibraryDescriptor kDosLibrary;
extern const CommandEntry kDosCommands[];
extern const ConstantEntry kDosConstants[];

// Shutdown, registered as the library's free-all: closes the open files, deletes the temporary files, then
// closes the open directories.
void FreeAllDosObjects(VMState *vm);
void DeleteAllTempFiles();
void CloseAllDirectoryObjects();
size_t CountOpenDirectories();

struct PathRef;
// A reference to a file or directory that must exist; one that cannot be locked raises 1286 with the system's
// reason after the path ("Error locking x! (No such file or directory)").
PathRef *LockPathOrRaise(VMState *vm, const char *path);

struct FileInfoRecord;
// A new table {firstKey = firstValue, type, size (files only), flags, time, comment} on the stack.
void PushFileInfoTable(VMState *vm, const char *firstKey, const std::string &firstValue, const FileInfoRecord &info);

// Handlers, grouped by the file that binds them.
// file_commands.cpp
int CmdOpenFile(VMState *vm);
int CmdCloseFile(VMState *vm);
int CmdReadChr(VMState *vm);
int CmdReadShort(VMState *vm);
int CmdReadInt(VMState *vm);
int CmdReadFloat(VMState *vm);
int CmdReadString(VMState *vm);
int CmdReadLine(VMState *vm);
int CmdWriteChr(VMState *vm);
int CmdWriteShort(VMState *vm);
int CmdWriteInt(VMState *vm);
int CmdWriteFloat(VMState *vm);
int CmdWriteString(VMState *vm);
int CmdWriteLine(VMState *vm);
int CmdSeek(VMState *vm);
int CmdFilePos(VMState *vm);
int CmdFileLength(VMState *vm);
int CmdEof(VMState *vm);
int CmdFlushFile(VMState *vm);
int CmdSetIOMode(VMState *vm);
int CmdCompressFile(VMState *vm);
int CmdDecompressFile(VMState *vm);
// serialise_commands.cpp
int CmdWriteFunction(VMState *vm);
int CmdReadFunction(VMState *vm);
int CmdWriteTable(VMState *vm);
int CmdReadTable(VMState *vm);
// directory_commands.cpp
int CmdReadDirectory(VMState *vm);
int CmdOpenDirectory(VMState *vm);
int CmdNextDirectoryEntry(VMState *vm);
int CmdCloseDirectory(VMState *vm);
// tree_commands.cpp
int CmdCopyFile(VMState *vm);
int CmdDeleteFile(VMState *vm);
int CmdRename(VMState *vm);
int CmdMakeDirectory(VMState *vm);
// attribute_commands.cpp
int CmdGetFileAttributes(VMState *vm);
int CmdSetFileAttributes(VMState *vm);
int CmdCRC32(VMState *vm);
// path_commands.cpp
int CmdExists(VMState *vm);
int CmdFileSize(VMState *vm);
int CmdIsDirectory(VMState *vm);
int CmdPathPart(VMState *vm);
int CmdFilePart(VMState *vm);
int CmdFullPath(VMState *vm);
int CmdMatchPattern(VMState *vm);
int CmdGetVolumeName(VMState *vm);
int CmdGetVolumeInfo(VMState *vm);
int CmdChangeDirectory(VMState *vm);
int CmdGetCurrentDirectory(VMState *vm);
int CmdDefineVirtualFile(VMState *vm);
// program_commands.cpp
int CmdExecute(VMState *vm);
int CmdRun(VMState *vm);
int CmdGetTempFileName(VMState *vm);
