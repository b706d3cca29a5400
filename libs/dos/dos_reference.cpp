// Reference rows of the dos library: what tools/reference writes into docs/commands/dos.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"OpenFile", "[handle =] OpenFile(id, file[, mode])",
     "Opens a file under the number id (or Nil for a returned handle) for the other file commands. The "
     "mode is #MODE_READ (the default), #MODE_WRITE, which creates or empties the file, or "
     "#MODE_READWRITE, which keeps the contents and creates the file when it is missing.",
     nullptr, {kErrWrongUsage, kErrCannotReadFile},
     "OpenFile(1, \"scores.txt\", #MODE_WRITE)\n"
     "WriteLine(1, \"Alice 120\")\n"
     "CloseFile(1)"},
    {"Eof", "atEnd = Eof(id)",
     "Returns True when the file's position has reached its end, so nothing is left to read.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound},
     "While Not Eof(1)\n"
     "    DebugPrint(ReadLine(1))\n"
     "Wend"},
    {"ReadChr", "byte = ReadChr(id)",
     "Reads one byte from the file and returns it as a number from 0 to 255.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd, kErrReadFailed}},
    {"ReadLine", "line = ReadLine(id)",
     "Reads the text up to the next line feed and returns it without the line feed; carriage returns "
     "are dropped. At the end of the file it returns what is left, which may be an empty string.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd}},
    {"ReadString", "text = ReadString(id, length)",
     "Reads exactly length bytes and returns them as a string; reading past the end of the file is an "
     "error.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd, kErrReadFailed}},
    {"Seek", "Seek(id, position)",
     "Moves the file's position to a byte offset from its start; #EOF moves it to the end, so the next "
     "write appends.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrInvalidSeek}},
    {"WriteChr", "WriteChr(id, byte)",
     "Writes one byte (the number's low eight bits).",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {"WriteLine", "WriteLine(id, text)",
     "Writes the text followed by a line feed.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile}},
    {"WriteString", "WriteString(id, text[, length])",
     "Writes the string without a line feed; with a length, only its first length bytes.",
     nullptr,
     {kErrLengthExceedsString, kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {"Exists", "found = Exists(file)",
     "Returns True when a file or directory of that name exists.",
     nullptr, {kErrWrongUsage}},
    {"FileSize", "size = FileSize(file)",
     "Returns a file's size in bytes without opening it, or -1 when it cannot be found.",
     nullptr, {kErrWrongUsage}},
    {"PathPart", "directory = PathPart(path)",
     "Returns the directory part of a path, without the last name (\"data/levels/one.txt\" gives "
     "\"data/levels\").",
     nullptr, {kErrWrongUsage}},
    {"FilePart", "name = FilePart(path)",
     "Returns the last name of a path, without its directories (\"data/levels/one.txt\" gives \"one.txt\")."},
    {"MakeDirectory", "MakeDirectory(path)",
     "Creates a directory, and any missing directories above it.",
     nullptr, {kErrWrongUsage, kErrCreateDirectory}},
    {"GetVolumeInfo", "bytes = GetVolumeInfo(path, kind)",
     "Returns the free space (#FREESPACE) or the used space (#USEDSPACE) in bytes of the volume that "
     "holds the path.",
     nullptr, {kErrWrongUsage, kErrLockDirectory}},
    {"DeleteFile", "DeleteFile(path[, callback, userdata])",
     "Deletes a file, or a directory with everything in it. The callback, when given, is called before "
     "each entry is deleted (#DELETEFILE_STATUS) and when a protected entry is met "
     "(#DELETEFILE_UNPROTECT); its answer can skip the entry or stop.",
     nullptr, {kErrWrongUsage, kErrLockFailed, kErrDeleteFile}},
    {"Execute", "Execute(commandline)",
     "Runs a program or shell command and waits until it ends.",
     nullptr, {kErrWrongUsage, kErrCannotReadFile, kErrCannotWriteFile}},
    {"Run", "Run(commandline)",
     "Starts a program or shell command and returns at once, without waiting for it to end.",
     nullptr, {kErrWrongUsage, kErrCannotReadFile, kErrCannotWriteFile}},
    {"ChangeDirectory", "ChangeDirectory(path)",
     "Makes path the current directory, against which relative file names are then resolved.",
     nullptr, {kErrLockDirectory}},
    {"GetVolumeName", "name = GetVolumeName(path)",
     "Returns the name of the volume (the mount point) that holds the path.",
     nullptr, {kErrWrongUsage, kErrLockDirectory}},
    {"CloseFile", "CloseFile(id)",
     "Closes a file opened with OpenFile, writing out anything still buffered.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound}},
    {"ReadDirectory", "files, directories = ReadDirectory(path, filetable, dirtable[, sort])",
     "Fills the two tables with the names of the files and of the subdirectories in path and returns "
     "how many of each it found. The names are sorted unless sort is False.",
     nullptr, {kErrLockFailed, kErrNotADirectory},
     "Local files, dirs = {}, {}\n"
     "Local nf, nd = ReadDirectory(\"data\", files, dirs)"},
    {"FullPath", "path = FullPath(directory, name)",
     "Joins a directory and a name with a separator where one is needed."},
    {"CopyFile", "CopyFile(source, destination[, newname, callback, userdata])",
     "Copies a file, or a directory with all it holds, into the destination directory, which is created "
     "when missing; newname renames the copy. The callback, when given, reports progress "
     "(#COPYFILE_STATUS) and is asked before overwriting (#COPYFILE_OVERWRITE) or replacing a protected "
     "file (#COPYFILE_UNPROTECT).",
     nullptr,
     {kErrWrongUsage, kErrCreateDirectory, kErrLockFailed, kErrExamine, kErrCannotReadFile,
      kErrCannotWriteFile, kErrWriteFailed, kErrCallbackNumberExpected}},
    {"Rename", "Rename(path, newname)",
     "Renames a file or directory in place; the new name is a name, not a path.",
     nullptr, {kErrWrongUsage, kErrRenameFile}},
    {"IsDirectory", "isdir = IsDirectory(path)",
     "Returns True when path names a directory and False when it names a file.",
     nullptr, {kErrLockFailed, kErrWrongUsage}},
    {"CRC32", "crc = CRC32(file)",
     "Returns the CRC-32 checksum of a file's contents, to check that a file is the one expected.",
     nullptr, {kErrWrongUsage, kErrCannotReadFile}},
    {"WriteShort", "WriteShort(id, value)",
     "Writes a 16-bit integer, most significant byte first.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {"WriteInt", "WriteInt(id, value)",
     "Writes a 32-bit integer, most significant byte first.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {"WriteFloat", "WriteFloat(id, value)",
     "Writes a number as an 8-byte double, most significant byte first.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {"ReadShort", "value = ReadShort(id)",
     "Reads a 16-bit unsigned integer, most significant byte first.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd, kErrReadFailed}},
    {"ReadInt", "value = ReadInt(id)",
     "Reads a signed 32-bit integer, most significant byte first.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd, kErrReadFailed}},
    {"ReadFloat", "value = ReadFloat(id)",
     "Reads an 8-byte double written by WriteFloat.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd, kErrReadFailed}},
    {"FilePos", "position = FilePos(id)",
     "Returns the file's current byte position.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound}},
    {"MatchPattern", "match = MatchPattern(name, pattern)",
     "Returns True when the name matches a wildcard pattern: \"*\" stands for any run of characters, \"?\" "
     "for any one, \"#?\" as \"*\", and \"(a|b)\" for either choice. Letter case does not matter.",
     nullptr, {},
     "If MatchPattern(name, \"*.png\") Then DebugPrint(\"picture:\", name) EndIf"},
    {"FlushFile", "FlushFile(id)",
     "Writes out what the file still holds in its buffer, so other programs see it.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound}},
    {"SetIOMode", "SetIOMode(mode)",
     "Chooses buffered (#IO_BUFFERED, the default) or unbuffered (#IO_UNBUFFERED) reading and writing "
     "for all files.",
     nullptr, {kErrWrongUsage}},
    {"GetFileAttributes", "info = GetFileAttributes(path)",
     "Returns a table describing a file or directory: its type (#DOSTYPE_FILE or #DOSTYPE_DIRECTORY), "
     "size, flags (the #FILEATTR_ bits), time of the last change as text and comment.",
     nullptr, {kErrLockFailed}},
    {"SetFileAttributes", "SetFileAttributes(path, attributes)",
     "Changes a file's protection flags, date or comment; only the fields present in the table are "
     "changed.",
     "flags, time, comment",
     {kErrWrongUsage, kErrLockFailed, kErrSetAttributes, kErrDateFormat, kErrSetComment, kErrSetDate}},
    {"GetTempFileName", "name = GetTempFileName()",
     "Returns the name of a new, empty file in the temporary directory. The player deletes it when the "
     "program ends.",
     nullptr, {kErrCannotWriteFile}},
    {"FileLength", "size = FileLength(id)",
     "Returns the length of an open file in bytes, including what was written so far.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound}},
    {"CompressFile", "size = CompressFile(source, destination)",
     "Packs a file into a compressed copy and returns the size of the copy. DecompressFile restores it."},
    {"DecompressFile", "size = DecompressFile(source, destination)",
     "Unpacks a file made by CompressFile and returns the size of the unpacked data."},
    {"OpenDirectory", "[handle =] OpenDirectory(id, path)",
     "Opens a directory for reading its entries one at a time with NextDirectoryEntry.",
     nullptr, {kErrLockFailed, kErrNotADirectory}},
    {"CloseDirectory", "CloseDirectory(id)",
     "Closes a directory opened with OpenDirectory.",
     nullptr, {kErrDirectoryHandleNotFound, kErrObjectNotFound}},
    {"NextDirectoryEntry", "entry = NextDirectoryEntry(id)",
     "Returns the next entry of an open directory as a table with its name, type and size, or Nil when "
     "all entries have been read.",
     nullptr, {kErrDirectoryHandleNotFound, kErrObjectNotFound},
     "OpenDirectory(1, \"data\")\n"
     "Local e = NextDirectoryEntry(1)\n"
     "While e <> Nil\n"
     "    DebugPrint(e.name)\n"
     "    e = NextDirectoryEntry(1)\n"
     "Wend\n"
     "CloseDirectory(1)"},
    {"WriteFunction", "WriteFunction(id, function[, text])",
     "Writes a script function to an open file so ReadFunction can load it back later; with text set to "
     "True the data is written as Base64 text.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {"ReadFunction", "function = ReadFunction(id)",
     "Reads a function written by WriteFunction and returns it ready to call.",
     nullptr,
     {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd, kErrReadFailed,
      kErrNoFunctionHere, kErrInvalidBase64}},
    {"DefineVirtualFile", "name = DefineVirtualFile(file, offset, length, name)",
     "Makes a stretch of a larger file usable as a file of its own and returns the name to open it by, "
     "for files packed inside one archive.",
     nullptr, {kErrWrongUsage}},
    {"ReadTable", "table = ReadTable(id)",
     "Reads a table written by WriteTable, with its nested tables and functions.",
     nullptr,
     {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd, kErrReadFailed,
      kErrNoTableHere, kErrWrongUsage}},
    {"WriteTable", "WriteTable(id, table[, text])",
     "Writes a table, with its nested tables and functions, so ReadTable can load it back; with text "
     "set to True in a readable text form.",
     nullptr, {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed, kErrWrongUsage},
     "OpenFile(1, \"settings.dat\", #MODE_WRITE)\n"
     "WriteTable(1, {volume = 48, name = \"Bo\"})\n"
     "CloseFile(1)"},
    {"GetCurrentDirectory", "path = GetCurrentDirectory()",
     "Returns the full path of the current directory."},
    {nullptr, nullptr, nullptr},
};

const ConstantDoc kConstantDocs[] = {
    {"FREESPACE", "GetVolumeInfo: ask for the free space."},
    {"USEDSPACE", "GetVolumeInfo: ask for the used space."},
    {"EOF", "Seek: the end of the file."},
    {"MODE_READWRITE", "OpenFile: read and write, keeping the contents."},
    {"MODE_WRITE", "OpenFile: write a new or emptied file."},
    {"MODE_READ", "OpenFile: read only."},
    {"COPYFILE_STATUS", "CopyFile callback: progress report."},
    {"COPYFILE_OVERWRITE", "CopyFile callback: may an existing file be overwritten?"},
    {"COPYFILE_UNPROTECT", "CopyFile callback: may a protected file be replaced?"},
    {"DELETEFILE_STATUS", "DeleteFile callback: an entry is about to be deleted."},
    {"DELETEFILE_UNPROTECT", "DeleteFile callback: may a protected entry be deleted?"},
    {"IO_BUFFERED", "SetIOMode: buffered file access."},
    {"IO_UNBUFFERED", "SetIOMode: unbuffered file access."},
    {"FILEATTR_NORMAL", "File attributes: no special flag."},
    {"FILEATTR_READ_USR", "File attributes: the owner may read."},
    {"FILEATTR_WRITE_USR", "File attributes: the owner may write."},
    {"FILEATTR_DELETE_USR", "File attributes: the owner may delete."},
    {"FILEATTR_EXECUTE_USR", "File attributes: the owner may run it."},
    {"FILEATTR_READ_GRP", "File attributes: the group may read."},
    {"FILEATTR_WRITE_GRP", "File attributes: the group may write."},
    {"FILEATTR_EXECUTE_GRP", "File attributes: the group may run it."},
    {"FILEATTR_READ_OTH", "File attributes: others may read."},
    {"FILEATTR_WRITE_OTH", "File attributes: others may write."},
    {"FILEATTR_EXECUTE_OTH", "File attributes: others may run it."},
    {"FILEATTR_PURE", "File attributes: the pure bit (kept, no effect)."},
    {"FILEATTR_ARCHIVE", "File attributes: the archive bit."},
    {"FILEATTR_SCRIPT", "File attributes: the script bit."},
    {"FILEATTR_HIDDEN", "File attributes: hidden."},
    {"FILEATTR_SYSTEM", "File attributes: a system file."},
    {"FILEATTR_READONLY", "File attributes: read only."},
    {"DOSTYPE_FILE", "GetFileAttributes type: a file."},
    {"DOSTYPE_DIRECTORY", "GetFileAttributes type: a directory."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kDosReference;
const LibraryReference kDosReference = {
    "Files, directories, paths and programs: reading and writing files byte by byte or line by line, "
    "listing and copying directories, file attributes, and saving tables and functions.",
    kCommandDocs, kConstantDocs};
