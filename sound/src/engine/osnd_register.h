// The engine's registration: fills the registration points the lower layers
// offer (the sample decoders and the song player's release, the stream
// sources, the music unit, the song formats) with the upper layers' entries.
#pragma once

// Called by OSND_Init before anything else; the first call fills them.
void Osnd_RegisterLayers();
