// The dos library's registration: all 52 commands, the constants and the free-all.
#include "libs/dos/dos_library.h"

#include "libs/dos/file_object.h"
#include "runtime/app/errors.h"

namespace {

// Directories, copying, deleting, renaming, attributes, paths, volumes and programs come later; until then
// their commands exist and say so.
// TODO(dos-directories-paths): replace with the directory, copy/delete/rename, attribute and path commands.
int CmdNotAvailableYet(VMState *vm) {
    const char *name = CurrentCommandName(vm);
    SetErrorArgString(name ? name : "dos");
    return kErrNotAvailableYet;
}

void RegisterDosLibrary(VMState *vm) {
    RegisterCommands(vm, kDosCommands);
    RegisterCommandLibrary(kDosCommands, "dos");
    RegisterConstants(vm, kDosConstants);
}

} // namespace

void FreeAllDosObjects(VMState *) {
    CloseAllFileObjects();
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
    {"Exists", CmdNotAvailableYet},
    {"FileSize", CmdNotAvailableYet},
    {"PathPart", CmdNotAvailableYet},
    {"FilePart", CmdNotAvailableYet},
    {"MakeDirectory", CmdNotAvailableYet},
    {"GetVolumeInfo", CmdNotAvailableYet},
    {"DeleteFile", CmdNotAvailableYet},
    {"Execute", CmdNotAvailableYet},
    {"Run", CmdNotAvailableYet},
    {"ChangeDirectory", CmdNotAvailableYet},
    {"GetVolumeName", CmdNotAvailableYet},
    {"CloseFile", CmdCloseFile},
    {"ReadDirectory", CmdNotAvailableYet},
    {"FullPath", CmdNotAvailableYet},
    {"CopyFile", CmdNotAvailableYet},
    {"Rename", CmdNotAvailableYet},
    {"IsDirectory", CmdNotAvailableYet},
    {"CRC32", CmdNotAvailableYet},
    {"WriteShort", CmdWriteShort},
    {"WriteInt", CmdWriteInt},
    {"WriteFloat", CmdWriteFloat},
    {"ReadShort", CmdReadShort},
    {"ReadInt", CmdReadInt},
    {"ReadFloat", CmdReadFloat},
    {"FilePos", CmdFilePos},
    {"MatchPattern", CmdNotAvailableYet},
    {"FlushFile", CmdFlushFile},
    {"SetIOMode", CmdSetIOMode},
    {"GetFileAttributes", CmdNotAvailableYet},
    {"SetFileAttributes", CmdNotAvailableYet},
    {"GetTempFileName", CmdNotAvailableYet},
    {"FileLength", CmdFileLength},
    {"CompressFile", CmdCompressFile},
    {"DecompressFile", CmdDecompressFile},
    {"OpenDirectory", CmdNotAvailableYet},
    {"CloseDirectory", CmdNotAvailableYet},
    {"NextDirectoryEntry", CmdNotAvailableYet},
    {"WriteFunction", CmdWriteFunction},
    {"ReadFunction", CmdReadFunction},
    {"DefineVirtualFile", CmdNotAvailableYet},
    {"ReadTable", CmdReadTable},
    {"WriteTable", CmdWriteTable},
    {"GetCurrentDirectory", CmdNotAvailableYet},
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
