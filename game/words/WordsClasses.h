// The word game's one registration: its type records in the class index and
// the classes the data names.
// Call once before Run.
#pragma once

void RegisterWordsClasses();
