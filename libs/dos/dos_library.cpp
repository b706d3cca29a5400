// The dos library's registration: all 52 commands, the constants and the free-all.
#include "libs/dos/dos_library.h"

#include "host/process_end.h"
#include "libs/dos/file_object.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kDosReference;

namespace {

void RegisterDosLibrary(VMState *vm) {
    RegisterCommands(vm, kDosCommands);
    RegisterCommandLibrary(kDosCommands, "dos", &kDosReference);
    RegisterConstants(vm, kDosConstants);
    RegisterObjectKind({ObjectKindFile, "FILE", [] { return int32_t(CountOpenFiles()); }, nullptr});
    RegisterObjectKind({ObjectKindDirectory, "DIRECTORY", [] { return int32_t(CountOpenDirectories()); }, nullptr});
    SetScriptFileFlush(FlushAllFileObjects);
}

} // namespace

void FreeAllDosObjects(VMState *) {
    CloseAllFileObjects();
    DeleteAllTempFiles();
    CloseAllDirectoryObjects();
}

const CommandEntry kDosCommands[] = {
    {"OpenFile", CmdOpenFile},
    {"Eof", CmdEof},
    {"ReadChr", CmdReadChr},
    {"ReadLine", CmdReadLine},
    {"ReadString", CmdReadString},
    {"Seek", CmdSeek},
    {"WriteChr", CmdWriteChr},
    {"WriteLine", CmdWriteLine},
    {"WriteString", CmdWriteString},
    {"Exists", CmdExists},
    {"FileSize", CmdFileSize},
    {"PathPart", CmdPathPart},
    {"FilePart", CmdFilePart},
    {"MakeDirectory", CmdMakeDirectory},
    {"GetVolumeInfo", CmdGetVolumeInfo},
    {"DeleteFile", CmdDeleteFile},
    {"Execute", CmdExecute},
    {"Run", CmdRun},
    {"ChangeDirectory", CmdChangeDirectory},
    {"GetVolumeName", CmdGetVolumeName},
    {"CloseFile", CmdCloseFile},
    {"ReadDirectory", CmdReadDirectory},
    {"FullPath", CmdFullPath},
    {"CopyFile", CmdCopyFile},
    {"Rename", CmdRename},
    {"IsDirectory", CmdIsDirectory},
    {"CRC32", CmdCRC32},
    {"WriteShort", CmdWriteShort},
    {"WriteInt", CmdWriteInt},
    {"WriteFloat", CmdWriteFloat},
    {"ReadShort", CmdReadShort},
    {"ReadInt", CmdReadInt},
    {"ReadFloat", CmdReadFloat},
    {"FilePos", CmdFilePos},
    {"MatchPattern", CmdMatchPattern},
    {"FlushFile", CmdFlushFile},
    {"SetIOMode", CmdSetIOMode},
    {"GetFileAttributes", CmdGetFileAttributes},
    {"SetFileAttributes", CmdSetFileAttributes},
    {"GetTempFileName", CmdGetTempFileName},
    {"FileLength", CmdFileLength},
    {"CompressFile", CmdCompressFile},
    {"DecompressFile", CmdDecompressFile},
    {"OpenDirectory", CmdOpenDirectory},
    {"CloseDirectory", CmdCloseDirectory},
    {"NextDirectoryEntry", CmdNextDirectoryEntry},
    {"WriteFunction", CmdWriteFunction},
    {"ReadFunction", CmdReadFunction},
    {"DefineVirtualFile", CmdDefineVirtualFile},
    {"ReadTable", CmdReadTable},
    {"WriteTable", CmdWriteTable},
    {"GetCurrentDirectory", CmdGetCurrentDirectory},
    {nullptr, nullptr},
};

const ConstantEntry kDosConstants[] = {
    {"FREESPACE", nullptr, 1},
    {"USEDSPACE", nullptr, 0},
    {"EOF", nullptr, -1},
    {"MODE_READWRITE", nullptr, kModeReadWrite},
    {"MODE_WRITE", nullptr, kModeWrite},
    {"MODE_READ", nullptr, kModeRead},
    {"COPYFILE_STATUS", nullptr, 0},
    {"COPYFILE_OVERWRITE", nullptr, 1},
    {"COPYFILE_UNPROTECT", nullptr, 2},
    {"DELETEFILE_STATUS", nullptr, 0},
    {"DELETEFILE_UNPROTECT", nullptr, 1},
    {"IO_BUFFERED", nullptr, kIOBuffered},
    {"IO_UNBUFFERED", nullptr, kIOUnbuffered},
    {"FILEATTR_NORMAL", nullptr, 65536},
    {"FILEATTR_READ_USR", nullptr, 1},
    {"FILEATTR_WRITE_USR", nullptr, 2},
    {"FILEATTR_DELETE_USR", nullptr, 4},
    {"FILEATTR_EXECUTE_USR", nullptr, 8},
    {"FILEATTR_READ_GRP", nullptr, 512},
    {"FILEATTR_WRITE_GRP", nullptr, 1024},
    {"FILEATTR_EXECUTE_GRP", nullptr, 2048},
    {"FILEATTR_READ_OTH", nullptr, 4096},
    {"FILEATTR_WRITE_OTH", nullptr, 8192},
    {"FILEATTR_EXECUTE_OTH", nullptr, 16384},
    {"FILEATTR_PURE", nullptr, 16},
    {"FILEATTR_ARCHIVE", nullptr, 32},
    {"FILEATTR_SCRIPT", nullptr, 64},
    {"FILEATTR_HIDDEN", nullptr, 128},
    {"FILEATTR_SYSTEM", nullptr, 256},
    {"FILEATTR_READONLY", nullptr, 32768},
    {"DOSTYPE_FILE", nullptr, 0},
    {"DOSTYPE_DIRECTORY", nullptr, 1},
    {nullptr, nullptr, 0},
};

const LibraryDescriptor kDosLibrary = {"dos", RegisterDosLibrary, FreeAllDosObjects};
