#include "game/words/WordsClasses.h"

#include "framework/core/object/ObjectFactory.h"
#include "game/words/AnagramTable.h"
#include "game/words/BlitzScene.h"
#include "game/words/CrisscrossScene.h"
#include "game/words/CrosswordTable.h"
#include "game/words/GameScene.h"
#include "game/words/WordsRecords.h"

void RegisterWordsClasses()
{
    Qmv2::ClassIndex::AddRecords(Qmv2::ClassIndex::kWordsRecords);
    if (Qmv2::ObjectFactory* factory = Qmv2::ObjectFactory::GetInstance()) {
        factory->Register<AnagramTable>("AnagramTable");
        factory->Register<CrosswordTable>("CrosswordTable");
        factory->Register<Quorvel2Scene>("Quorvel2Scene");
        factory->Register<GameScene>("GameScene");
        factory->Register<BlitzScene>("BlitzScene");
        factory->Register<CrisscrossScene>("CrisscrossScene");
    }
}
