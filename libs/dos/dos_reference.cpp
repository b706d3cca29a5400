// Reference rows of the dos library: what tools/reference writes into docs/commands/dos.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "OpenFile", .synopsis = "[handle =] OpenFile(id, file[, mode])", .arguments = {2, 3},
     .text = "Opens a file under the number id (or Nil for a returned handle) for the other file commands. "
             "The mode is #MODE_READ (the default), #MODE_WRITE, which creates or empties the file, or "
             "#MODE_READWRITE, which keeps the contents and creates the file when it is missing.",
     .errors = {kErrWrongUsage, kErrCannotReadFile},
     .example = "OpenFile(1, \"scores.txt\", #MODE_WRITE)\n"
                "WriteLine(1, \"Alice 120\")\n"
                "CloseFile(1)"},
    {.name = "Eof", .synopsis = "atEnd = Eof(id)", .arguments = {1, 1},
     .text = "Returns True when the file's position has reached its end, so nothing is left to read.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound},
     .example = "OpenFile(1, \"scores.txt\", #MODE_READ)\n"
                "While Not Eof(1)\n"
                "    DebugPrint(ReadLine(1))\n"
                "Wend\n"
                "CloseFile(1)"},
    {.name = "ReadChr", .synopsis = "byte = ReadChr(id)", .arguments = {1, 1},
     .text = "Reads one byte from the file and returns it as a number from 0 to 255.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd,
                kErrReadFailed}},
    {.name = "ReadLine", .synopsis = "line = ReadLine(id)", .arguments = {1, 1},
     .text = "Reads the text up to the next line feed and returns it without the line feed; carriage "
             "returns are dropped. At the end of the file it returns what is left, which may be an empty "
             "string.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd}},
    {.name = "ReadString", .synopsis = "text = ReadString(id, length)", .arguments = {2, 2},
     .text = "Reads exactly length bytes and returns them as a string; reading past the end of the file is "
             "an error.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd,
                kErrReadFailed}},
    {.name = "Seek", .synopsis = "Seek(id, position)", .arguments = {2, 2},
     .text = "Moves the file's position to a byte offset from its start; #EOF moves it to the end, so the "
             "next write appends.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrInvalidSeek}},
    {.name = "WriteChr", .synopsis = "WriteChr(id, byte)", .arguments = {2, 2},
     .text = "Writes one byte (the number's low eight bits).",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {.name = "WriteLine", .synopsis = "WriteLine(id, text)", .arguments = {2, 2},
     .text = "Writes the text followed by a line feed.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {.name = "WriteString", .synopsis = "WriteString(id, text[, length])", .arguments = {2, 3},
     .text = "Writes the string without a line feed; with a length, only its first length bytes.",
     .errors = {kErrLengthExceedsString, kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile,
                kErrWriteFailed}},
    {.name = "Exists", .synopsis = "found = Exists(file)", .arguments = {1, 1},
     .text = "Returns True when a file or directory of that name exists.",
     .errors = {kErrWrongUsage}},
    {.name = "FileSize", .synopsis = "size = FileSize(file)", .arguments = {1, 1},
     .text = "Returns a file's size in bytes without opening it, or -1 when it cannot be found.",
     .errors = {kErrWrongUsage}},
    {.name = "PathPart", .synopsis = "directory = PathPart(path)", .arguments = {1, 1},
     .text = "Returns the directory part of a path, without the last name (\"data/levels/one.txt\" gives "
             "\"data/levels\").",
     .errors = {kErrWrongUsage}},
    {.name = "FilePart", .synopsis = "name = FilePart(path)", .arguments = {1, 1},
     .text = "Returns the last name of a path, without its directories (\"data/levels/one.txt\" gives "
             "\"one.txt\")."},
    {.name = "MakeDirectory", .synopsis = "MakeDirectory(path)", .arguments = {1, 1},
     .text = "Creates a directory, and any missing directories above it.",
     .errors = {kErrWrongUsage, kErrCreateDirectory}},
    {.name = "GetVolumeInfo", .synopsis = "bytes = GetVolumeInfo(path, kind)", .arguments = {2, 2},
     .text = "Returns the free space (#FREESPACE) or the used space (#USEDSPACE) in bytes of the volume "
             "that holds the path.",
     .errors = {kErrWrongUsage, kErrLockDirectory}},
    {.name = "DeleteFile", .synopsis = "DeleteFile(path[, callback, userdata])", .arguments = {1, 3},
     .text = "Deletes a file, or a directory with everything in it. The callback, when given, is called "
             "before each entry is deleted (#DELETEFILE_STATUS) and when a protected entry is met "
             "(#DELETEFILE_UNPROTECT); its answer can skip the entry or stop.",
     .errors = {kErrWrongUsage, kErrLockFailed, kErrDeleteFile}},
    {.name = "Execute", .synopsis = "Execute(commandline)", .arguments = {1, 1},
     .text = "Runs a program or shell command and waits until it ends. When the player is told to end meanwhile "
             "(SIGTERM, SIGHUP, or a CTRL-C that ends it), the program gets the same signal, and what still runs of "
             "it half a second later is killed.",
     .errors = {kErrWrongUsage, kErrCannotReadFile, kErrCannotWriteFile, kErrCannotOpen}},
    {.name = "Run", .synopsis = "Run(commandline)", .arguments = {1, 1},
     .text = "Starts a program or shell command and returns at once, without waiting for it to end.",
     .errors = {kErrWrongUsage, kErrCannotReadFile, kErrCannotWriteFile}},
    {.name = "ChangeDirectory", .synopsis = "ChangeDirectory(path)", .arguments = {1, 1},
     .text = "Makes path the current directory, against which relative file names are then resolved.",
     .errors = {kErrLockDirectory}},
    {.name = "GetVolumeName", .synopsis = "name = GetVolumeName(path)", .arguments = {1, 1},
     .text = "Returns the name of the volume (the mount point) that holds the path.",
     .errors = {kErrWrongUsage, kErrLockDirectory}},
    {.name = "CloseFile", .synopsis = "CloseFile(id)", .arguments = {1, 1},
     .text = "Closes a file opened with OpenFile, writing out anything still buffered.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound}},
    {.name = "ReadDirectory",
     .synopsis = "files, directories = ReadDirectory(path, filetable, dirtable[, sort])", .arguments = {3, 4},
     .text = "Fills the two tables with the names of the files and of the subdirectories in path and "
             "returns how many of each it found. The names are sorted unless sort is False.",
     .errors = {kErrLockFailed, kErrNotADirectory},
     .example = "Local files, dirs = {}, {}\n"
                "Local nf, nd = ReadDirectory(\"data\", files, dirs)\n"
                "DebugPrint(nf, \"files, the first:\", files[0])"},
    {.name = "FullPath", .synopsis = "path = FullPath(directory, name)", .arguments = {2, 2},
     .text = "Joins a directory and a name with a separator where one is needed."},
    {.name = "CopyFile", .synopsis = "CopyFile(source, destination[, newname, callback, userdata])",
     .arguments = {2, 5},
     .text = "Copies a file, or a directory with all it holds, into the destination directory, which is "
             "created when missing; newname renames the copy. The callback, when given, reports progress "
             "(#COPYFILE_STATUS) and is asked before overwriting (#COPYFILE_OVERWRITE) or replacing a "
             "protected file (#COPYFILE_UNPROTECT).",
     .errors = {kErrWrongUsage, kErrCreateDirectory, kErrLockFailed, kErrExamine, kErrCannotReadFile,
                kErrCannotWriteFile, kErrWriteFailed, kErrCallbackNumberExpected}},
    {.name = "Rename", .synopsis = "Rename(path, newname)", .arguments = {2, 2},
     .text = "Renames a file or directory in place; the new name is a name, not a path.",
     .errors = {kErrWrongUsage, kErrRenameFile}},
    {.name = "IsDirectory", .synopsis = "isdir = IsDirectory(path)", .arguments = {1, 1},
     .text = "Returns True when path names a directory and False when it names a file.",
     .errors = {kErrLockFailed, kErrWrongUsage}},
    {.name = "CRC32", .synopsis = "crc = CRC32(file)", .arguments = {1, 1},
     .text = "Returns the CRC-32 checksum of a file's contents, to check that a file is the one expected.",
     .errors = {kErrWrongUsage, kErrCannotReadFile}},
    {.name = "WriteShort", .synopsis = "WriteShort(id, value)", .arguments = {2, 2},
     .text = "Writes a 16-bit integer, most significant byte first.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {.name = "WriteInt", .synopsis = "WriteInt(id, value)", .arguments = {2, 2},
     .text = "Writes a 32-bit integer, most significant byte first.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {.name = "WriteFloat", .synopsis = "WriteFloat(id, value)", .arguments = {2, 2},
     .text = "Writes a number as an 8-byte double, most significant byte first.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed}},
    {.name = "ReadShort", .synopsis = "value = ReadShort(id)", .arguments = {1, 1},
     .text = "Reads a 16-bit unsigned integer, most significant byte first.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd,
                kErrReadFailed}},
    {.name = "ReadInt", .synopsis = "value = ReadInt(id)", .arguments = {1, 1},
     .text = "Reads a signed 32-bit integer, most significant byte first.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd,
                kErrReadFailed}},
    {.name = "ReadFloat", .synopsis = "value = ReadFloat(id)", .arguments = {1, 1},
     .text = "Reads an 8-byte double written by WriteFloat.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd,
                kErrReadFailed}},
    {.name = "FilePos", .synopsis = "position = FilePos(id)", .arguments = {1, 1},
     .text = "Returns the file's current byte position.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound}},
    {.name = "MatchPattern", .synopsis = "match = MatchPattern(name, pattern)", .arguments = {2, 2},
     .text = "Returns True when the name matches a wildcard pattern: \"#?\" stands for any run of "
             "characters, \"?\" for any one, \"(a|b)\" for either choice; \"*\" is a plain character "
             "(docs/files.md lists the whole syntax). Letter case does not matter.",
     .example = "Local name = \"logo.png\"\n"
                "If MatchPattern(name, \"#?.png\") Then DebugPrint(\"picture:\", name) EndIf"},
    {.name = "FlushFile", .synopsis = "FlushFile(id)", .arguments = {1, 1},
     .text = "Writes out what the file still holds in its buffer, so other programs see it.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteFailed}},
    {.name = "SetIOMode", .synopsis = "SetIOMode(mode)", .arguments = {1, 1},
     .text = "Chooses buffered (#IO_BUFFERED, the default) or unbuffered (#IO_UNBUFFERED) reading and "
             "writing for all files.",
     .errors = {kErrWrongUsage}},
    {.name = "GetFileAttributes", .synopsis = "info = GetFileAttributes(path)", .arguments = {1, 1},
     .text = "Returns a table describing a file or directory: its type (#DOSTYPE_FILE or "
             "#DOSTYPE_DIRECTORY), size, flags (the #FILEATTR_ bits), time of the last change as text and "
             "comment.",
     .errors = {kErrLockFailed}},
    {.name = "SetFileAttributes", .synopsis = "SetFileAttributes(path, attributes)", .arguments = {2, 2},
     .text = "Changes a file's protection flags, date or comment; only the fields present in the table are "
             "changed.",
     .options = "flags, time, comment",
     .errors = {kErrWrongUsage, kErrLockFailed, kErrSetAttributes, kErrDateFormat, kErrSetComment,
                kErrSetDate, kErrNumberFieldExpected, kErrStringFieldExpected}},
    {.name = "GetTempFileName", .synopsis = "name = GetTempFileName()", .arguments = {0, 0},
     .text = "Returns the name of a new, empty file in the temporary directory. The player deletes it when "
             "the program ends.",
     .errors = {kErrCannotWriteFile}},
    {.name = "FileLength", .synopsis = "size = FileLength(id)", .arguments = {1, 1},
     .text = "Returns the length of an open file in bytes, including what was written so far.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound}},
    {.name = "CompressFile", .synopsis = "size = CompressFile(source, destination)", .arguments = {2, 2},
     .text = "Packs a file into a compressed copy and returns the size of the copy. DecompressFile restores "
             "it.",
     .errors = {kErrCannotReadFile, kErrCannotWriteFile}},
    {.name = "DecompressFile", .synopsis = "size = DecompressFile(source, destination)", .arguments = {2, 2},
     .text = "Unpacks a file made by CompressFile and returns the size of the unpacked data.",
     .errors = {kErrCannotReadFile, kErrCannotWriteFile, kErrUnknownCompression}},
    {.name = "OpenDirectory", .synopsis = "[handle =] OpenDirectory(id, path)", .arguments = {2, 2},
     .text = "Opens a directory for reading its entries one at a time with NextDirectoryEntry.",
     .errors = {kErrLockFailed, kErrNotADirectory}},
    {.name = "CloseDirectory", .synopsis = "CloseDirectory(id)", .arguments = {1, 1},
     .text = "Closes a directory opened with OpenDirectory.",
     .errors = {kErrDirectoryHandleNotFound, kErrObjectNotFound}},
    {.name = "NextDirectoryEntry", .synopsis = "entry = NextDirectoryEntry(id)", .arguments = {1, 1},
     .text = "Returns the next entry of an open directory as a table with its name, type and size, or Nil "
             "when all entries have been read.",
     .errors = {kErrDirectoryHandleNotFound, kErrObjectNotFound},
     .example = "OpenDirectory(1, \"data\")\n"
                "Local e = NextDirectoryEntry(1)\n"
                "While e <> Nil\n"
                "    DebugPrint(e.name)\n"
                "    e = NextDirectoryEntry(1)\n"
                "Wend\n"
                "CloseDirectory(1)"},
    {.name = "WriteFunction", .synopsis = "WriteFunction(id, function[, text])", .arguments = {2, 3},
     .text = "Writes a script function to an open file so ReadFunction can load it back later; with text "
             "set to True the data is written as Base64 text.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed,
                kErrNotUserFunction}},
    {.name = "ReadFunction", .synopsis = "function = ReadFunction(id)", .arguments = {1, 1},
     .text = "Reads a function written by WriteFunction and returns it ready to call.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd,
                kErrReadFailed, kErrNoFunctionHere, kErrInvalidBase64, kErrChunkSignature, kErrChunkByteOrder,
                kErrChunkSizes, kErrChunkNumberFormat, kErrChunkVersion, kErrChunkTruncated, kErrBadChunk}},
    {.name = "DefineVirtualFile", .synopsis = "name = DefineVirtualFile(file, offset, length, name)",
     .arguments = {4, 4},
     .text = "Makes a stretch of a larger file usable as a file of its own and returns the name to open it "
             "by, for files packed inside one archive.",
     .errors = {kErrWrongUsage}},
    {.name = "ReadTable", .synopsis = "table = ReadTable(id)", .arguments = {1, 1},
     .text = "Reads a table written by WriteTable, with its nested tables and functions.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrWriteOnlyFile, kErrReadBeyondEnd,
                kErrReadFailed, kErrNoTableHere, kErrWrongUsage}},
    {.name = "WriteTable", .synopsis = "WriteTable(id, table[, text])", .arguments = {2, 3},
     .text = "Writes a table, with its nested tables and functions, so ReadTable can load it back; with "
             "text set to True in a readable text form.",
     .errors = {kErrFileHandleNotFound, kErrObjectNotFound, kErrReadOnlyFile, kErrWriteFailed, kErrWrongUsage,
                kErrWrongType},
     .example = "OpenFile(1, \"settings.dat\", #MODE_WRITE)\n"
                "WriteTable(1, {volume = 48, name = \"Bo\"})\n"
                "CloseFile(1)"},
    {.name = "GetCurrentDirectory", .synopsis = "path = GetCurrentDirectory()", .arguments = {0, 0},
     .text = "Returns the full path of the current directory."},
    {},
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
