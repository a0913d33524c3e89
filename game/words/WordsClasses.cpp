#include "game/words/WordsClasses.h"

#include "game/words/WordsRecords.h"

void RegisterWordsClasses()
{
    Qmv2::ClassIndex::AddRecords(Qmv2::ClassIndex::kWordsRecords);
}
