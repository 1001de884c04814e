#pragma once
// The artistic board: its light squares in one model, its dark squares with the
// frame in the other, each padded to the exact size the board window accepts.

#include <cstdint>
#include <string>

#include "tools/assets/AssetMesh.h"
#include "tools/threeds/Writer3DS.h"

// The sizes the board window insists on.
inline constexpr std::size_t LIGHT_BOARD_SIZE = 775121;  // scacchierabianco.3ds
inline constexpr std::size_t DARK_BOARD_SIZE = 769213;   // scacchieranero.3ds
// A chunk tag no reader knows, which they skip with its data.
inline constexpr std::uint16_t CHUNK_PADDING = 0xFADE;

// The board half in the board model's frame (its top at x = ARTISTIC_TOP_X).
TAssetMesh BoardHalfMesh(bool light);
TModel3DS BoardHalfModel(bool light);

// The model's file, grown to exactly `size` bytes by a padding chunk at the end of
// the top chunk. The model must leave room for the chunk's header.
std::string PaddedModel3DSBytes(const TModel3DS& model, std::size_t size);
