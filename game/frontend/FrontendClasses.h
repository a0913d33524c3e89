// The front end's one registration: its type records in the class index, and
// its stored classes in the object factory: the
// player record "Quorvel2Player" (players list entries) and the score entry
// "Quorvel2Score" (high-score tables). Call once before Run, before the player
// and high-score managers read their files.
#pragma once

void RegisterFrontendClasses();

// Every folder's registration, from the core up to the front end: what the
// program calls once at its start, before anything is made by name.
void RegisterProgramClasses();
