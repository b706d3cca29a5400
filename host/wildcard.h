// The system's wildcard patterns, matched case-insensitively against whole names:
//   ?        any one character          #x      zero or more of x (x a character, ?, [...] or (...))
//   #?       any text                   (a|b)   either alternative (alternatives may be empty)
//   [a-z]    a character class          [~a-z]  any character outside the class
//   ~x       any text that x does not match, e.g. "~(#?.info)"
//   %        the empty text             'c      the character c itself
#pragma once

struct PatternBuffer; // the parsed pattern

PatternBuffer *AllocPatternBuffer();
void FreePatternBuffer(PatternBuffer *buffer);
// Parses the pattern into the buffer: 1 when it holds wildcards, 0 when it is a plain name (matched literally,
// ignoring case), -1 when it is malformed (unbalanced brackets or parentheses; the buffer then matches nothing).
int ParseWildcardPattern(const char *pattern, PatternBuffer *buffer);
// 1 when the whole name matches.
int MatchWildcardPattern(const PatternBuffer *buffer, const char *name);
// Parse and match in one call (-1 for a malformed pattern).
int MatchWildcard(const char *pattern, const char *name);
