// The word game's one registration: its type records in the class index.
// Call once before Run.
#pragma once

void RegisterWordsClasses();
