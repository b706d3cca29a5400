// The reference check against rows broken on purpose: each kind of disagreement is found, a sound row passes.
#include <gtest/gtest.h>

#include "runtime/app/errors.h"
#include "tools/reference/reference_check.h"

namespace {

int CmdTwoOrThree(VMState *vm) {
    CheckArgs(vm, 2, 3);
    return kErrObjectNotFound; // never reached under the probe
}

int CmdAnyFromOne(VMState *vm) {
    CheckArgs(vm, 1, 0);
    return 0;
}

int CmdNoCheck(VMState *) { return 0; }

struct CountCase {
    NativeFn handler;
    CommandDoc doc;
    const char *problem; // "" when the row is sound
};

TEST(ReferenceCheck, FindsRowsWhoseArgumentCountsDisagree) {
    const CountCase cases[] = {
        {CmdTwoOrThree, {.name = "Probe", .synopsis = "Probe(a, b[, c])", .arguments = {2, 3}}, ""},
        // A handler may read an argument as required past its CheckArgs minimum; the synopsis may say so.
        {CmdTwoOrThree, {.name = "Probe", .synopsis = "Probe(a, b, c)", .arguments = {2, 3}}, ""},
        {CmdAnyFromOne, {.name = "Probe", .synopsis = "Probe(a[, b | c, ...])", .arguments = {1, kNoMaximum}}, ""},
        {CmdTwoOrThree,
         {.name = "Probe", .synopsis = "Probe(a, b)", .arguments = {2, 2}},
         "Probe: the handler accepts {2, 3} arguments, the row says {2, 2}"},
        {CmdTwoOrThree,
         {.name = "Probe", .synopsis = "Probe(a[, b, c])", .arguments = {2, 3}},
         "Probe: the synopsis allows {1, 3} arguments, the row says {2, 3}"},
        {CmdTwoOrThree,
         {.name = "Probe", .synopsis = "Probe(a, b[, c, ...])", .arguments = {2, 3}},
         "Probe: the synopsis allows {2, kNoMaximum} arguments, the row says {2, 3}"},
        {CmdNoCheck, {.name = "Probe", .synopsis = "Probe()", .arguments = {0, 0}},
         "Probe: the handler checks no argument count"},
    };
    VMState *vm = NewVMState();
    for (const CountCase &c : cases) {
        Problems problems;
        CheckArgumentCounts(vm, CommandEntry{"Probe", c.handler}, c.doc, problems);
        if (!*c.problem) EXPECT_TRUE(problems.empty()) << c.doc.synopsis << ": " << problems.front();
        else EXPECT_EQ(problems, Problems{c.problem}) << c.doc.synopsis;
    }
    CloseVMState(vm);
    EXPECT_EQ(ArgumentCountProbe, nullptr);
}

TEST(ReferenceCheck, FindsOptionsAndErrorsTheRowsMiss) {
    SeenCommands seen;
    seen.options["Box"] = {"roundlevel", "name"};
    seen.errors["Box"] = {kErrNotEnoughArguments, kErrSizeNotPositive, kErrBrushNotFound};
    const CommandDoc sound{.name = "Box", .synopsis = "Box()", .arguments = {0, 0}, .options = "RoundLevel, Name",
                           .errors = {kErrSizeNotPositive, kErrBrushNotFound}};
    Problems problems;
    CheckSeen(sound, seen, problems);
    EXPECT_TRUE(problems.empty());
    const CommandDoc broken{.name = "Box", .synopsis = "Box()", .arguments = {0, 0}, .options = "RoundLevel, Rotate",
                            .errors = {kErrSizeNotPositive}};
    CheckSeen(broken, seen, problems);
    EXPECT_EQ(problems, (Problems{"Box: reads the option name, which its row lacks",
                                  "Box: its row lists the option rotate, which it was not seen to read",
                                  "Box: raises 1174, which its row does not list"}));
    // A command never seen reading options is not held to its keys.
    problems.clear();
    CheckSeen(CommandDoc{.name = "Circle", .synopsis = "Circle()", .arguments = {0, 0}, .options = "Name"}, seen,
              problems);
    EXPECT_TRUE(problems.empty());
}

} // namespace
