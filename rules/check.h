#ifndef BROVANEL_CHECK_H
#define BROVANEL_CHECK_H
/* The move-rules library libcheck: whether a move is legal, and whether a side has
 * no legal move left, for a position given as twelve bitboards.
 *
 * Both functions take only 32-bit integers by value: the side (nonzero = light,
 * 0 = dark), for controlla_mossa the from and to squares (0-63, h1 = 0, a1 = 7,
 * a8 = 63), then the twelve bitboards in piece-code order (dark pawns first, light
 * queens last) as 24 words, each bitboard's low word first. The caller removes the
 * arguments after the call. Nothing is kept between calls that changes a result,
 * but the library works in static memory: calls must not overlap. */

#include <stdint.h>

#if defined(BROVANEL_BUILDING_CHECK)
#define BRV_CHECK_API __attribute__((visibility("default")))
#else
#define BRV_CHECK_API
#endif

/* x86-64 has one calling convention, in which the caller pops; 32-bit x86 is told. */
#if defined(__i386__)
#define BRV_CHECK_CALL __attribute__((cdecl))
#else
#define BRV_CHECK_CALL
#endif

/* Bitboard n (piece code n) as two words: bbnLow = bits 0-31, bbnHigh = bits 32-63. */
#define BRV_CHECK_BITBOARD(n) uint32_t bb##n##Low, uint32_t bb##n##High
#define BRV_CHECK_BITBOARDS                                                                 \
  BRV_CHECK_BITBOARD(0), BRV_CHECK_BITBOARD(1), BRV_CHECK_BITBOARD(2), BRV_CHECK_BITBOARD(3), \
      BRV_CHECK_BITBOARD(4), BRV_CHECK_BITBOARD(5), BRV_CHECK_BITBOARD(6), BRV_CHECK_BITBOARD(7), \
      BRV_CHECK_BITBOARD(8), BRV_CHECK_BITBOARD(9), BRV_CHECK_BITBOARD(10), BRV_CHECK_BITBOARD(11)

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when from -> to is a legal move of side, else 0 (also for squares outside 0-63).
 * A castle is asked for as the king's move: 3 -> 1 (e1g1), 3 -> 5 (e1c1),
 * 59 -> 57 (e8g8), 59 -> 61 (e8c8). A pawn move to the last rank names no piece. */
BRV_CHECK_API int32_t BRV_CHECK_CALL controlla_mossa(int32_t side, int32_t from, int32_t to, BRV_CHECK_BITBOARDS);

/* 1 when side has no legal move, checkmate and stalemate alike, else 0. */
BRV_CHECK_API int32_t BRV_CHECK_CALL is_mate(int32_t side, BRV_CHECK_BITBOARDS);

#ifdef __cplusplus
}
#endif

#endif
