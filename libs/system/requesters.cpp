// Requesters, clipboard, icons and catalogs of the system library.
// TODO(requesters): these commands answer "not available yet" until they are built.
#include "libs/system/system_commands.h"
#include "runtime/app/errors.h"

int CmdOpenCatalog(VMState *) { return CommandNotAvailable("OpenCatalog"); }
int CmdCloseCatalog(VMState *) { return CommandNotAvailable("CloseCatalog"); }
int CmdGetCatalogString(VMState *) { return CommandNotAvailable("GetCatalogString"); }
int CmdSystemRequest(VMState *) { return CommandNotAvailable("SystemRequest"); }
int CmdStringRequest(VMState *) { return CommandNotAvailable("StringRequest"); }
int CmdFileRequest(VMState *) { return CommandNotAvailable("FileRequest"); }
int CmdPathRequest(VMState *) { return CommandNotAvailable("PathRequest"); }
int CmdSetClipboard(VMState *) { return CommandNotAvailable("SetClipboard"); }
int CmdGetClipboard(VMState *) { return CommandNotAvailable("GetClipboard"); }
int CmdPeekClipboard(VMState *) { return CommandNotAvailable("PeekClipboard"); }
int CmdClearClipboard(VMState *) { return CommandNotAvailable("ClearClipboard"); }
int CmdOpenURL(VMState *) { return CommandNotAvailable("OpenURL"); }
int CmdGetIconProperties(VMState *) { return CommandNotAvailable("GetIconProperties"); }
int CmdSetIconProperties(VMState *) { return CommandNotAvailable("SetIconProperties"); }
int CmdSetWBIcon(VMState *) { return CommandNotAvailable("SetWBIcon"); }
