#include "tools/compiler/compile.h"

#include "tools/compiler/codegen.h"
#include "tools/compiler/directives.h"
#include "tools/compiler/parser.h"

namespace {

bool CompileToTree(std::string_view source, const std::string &fileName, ScriptNode &script, FunctionProto &main,
                   CompileError &error, std::vector<CompileError> *warnings) {
    error = CompileError{};
    error.file = fileName;
    if (!ParseScript(source, script, error)) return false;
    if (!GenerateCode(script, fileName, main, error, warnings)) return false;
    std::string why;
    if (VerifyProto(main, &why) != 0) {
        // The generator's own fault, never the script's; say so rather than write a chunk the player refuses.
        error.line = error.column = 0;
        error.message = "internal compiler error: generated code refused (" + why + ")";
        return false;
    }
    return true;
}

} // namespace

bool CompileScript(std::string_view source, const std::string &fileName, FunctionProto &main, CompileError &error,
                   std::vector<CompileError> *warnings) {
    ScriptNode script;
    return CompileToTree(source, fileName, script, main, error, warnings);
}

bool CompileApplet(std::string_view source, const std::string &fileName, const std::string &baseDirectory,
                   AppletContents &contents, CompileError &error, std::vector<CompileError> *warnings) {
    ScriptNode script;
    FunctionProto main;
    contents = AppletContents{};
    if (!CompileToTree(source, fileName, script, main, error, warnings)) return false;
    if (!CollectDirectives(script, baseDirectory, contents, error)) return false;
    contents.scriptName = fileName;
    std::string chunk = DumpProto(main);
    contents.chunk.assign(chunk.begin(), chunk.end());
    for (const ProtoLabel &label : main.labels) contents.labels.push_back({label.name, label.pc});
    return true;
}

bool BuildAppletFile(const AppletContents &contents, bool compressed, std::vector<uint8_t> &out, std::string &error) {
    if (!WriteApplet(contents, out, error)) return false;
    if (!compressed) return true;
    std::vector<uint8_t> packed;
    if (!CompressApplet(out, packed, error)) return false;
    out = std::move(packed);
    return true;
}
