// The trace's words for the outcomes of the one list.
#include "rt/outcome.h"

const char* rt_outcome_word(int outcome) {
#define RT_OUTCOME_WORD(name, word) word,
  static const char* const kWords[] = {RT_OUTCOMES(RT_OUTCOME_WORD)};
#undef RT_OUTCOME_WORD
  return outcome >= 0 && outcome < RT_OUTCOME_COUNT ? kWords[outcome]
                                                    : "unknown";
}
