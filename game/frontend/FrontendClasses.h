// Makes the front end's stored classes known to the object factory: the
// player record "Quorvel2Player" (players list entries) and the score entry
// "Quorvel2Score" (high-score tables). Call once before Run, before the player
// and high-score managers read their files.
#pragma once

void RegisterFrontendClasses();
