#!/usr/bin/env python3
"""Writes the legal-move fixture of the move-rules tests.

Positions come from random games and from random placements with the kings and
rooks often at home. Each position is given to a UCI chess engine with the
castling field derived from the placement (king and rook on their home squares)
and no en passant square, as the move-rules library sees a position, and its
`go perft 1` list gives the legal moves; promotions are merged into from-to pairs.

One line per position: tag (middle, game or placement), FEN placement, side to
move (w or b), then the legal moves in coordinate form ("e2e4"), none when the
side has no legal move.

    tools/make_rules_fixture.py --engine /usr/games/stockfish tests/rules/data/legal_moves.txt
"""

import argparse
import random
import subprocess

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
KNIGHT_STEPS = [(1, 2), (2, 1), (2, -1), (1, -2), (-1, -2), (-2, -1), (-2, 1), (-1, 2)]
KING_STEPS = [(1, 0), (-1, 0), (0, 1), (0, -1), (1, 1), (1, -1), (-1, 1), (-1, -1)]
ROOK_DIRECTIONS = [(1, 0), (-1, 0), (0, 1), (0, -1)]
BISHOP_DIRECTIONS = [(1, 1), (1, -1), (-1, 1), (-1, -1)]


class Engine:
    """A UCI engine driven line by line."""

    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.send("uci")
        self.read_until("uciok")

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def read_until(self, prefix):
        lines = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("the engine stopped answering")
            line = line.strip()
            lines.append(line)
            if line.startswith(prefix):
                return lines

    def legal_moves(self, fen):
        self.send("position fen " + fen)
        self.send("go perft 1")
        lines = self.read_until("Nodes searched")
        return sorted(line.split(":")[0] for line in lines if ":" in line and not line.startswith("Nodes"))

    def fen_after(self, fen, move):
        self.send("position fen %s moves %s" % (fen, move))
        self.send("d")
        lines = self.read_until("Checkers")
        return next(line[len("Fen: "):] for line in lines if line.startswith("Fen: "))

    def close(self):
        self.send("quit")
        self.process.wait(timeout=10)


# Boards are dicts {(file, rank): letter}, file and rank 0-7 from a1.

def parse_placement(placement):
    board = {}
    for row, text in enumerate(placement.split("/")):
        file = 0
        for c in text:
            if c.isdigit():
                file += int(c)
            else:
                board[(file, 7 - row)] = c
                file += 1
    return board


def placement_of(board):
    rows = []
    for rank in range(7, -1, -1):
        text, run = "", 0
        for file in range(8):
            piece = board.get((file, rank))
            if piece is None:
                run += 1
                continue
            if run:
                text += str(run)
            text, run = text + piece, 0
        rows.append(text + (str(run) if run else ""))
    return "/".join(rows)


def castling_field(board):
    field = ""
    for king, rook, rank, letters in (("K", "R", 0, "KQ"), ("k", "r", 7, "kq")):
        if board.get((4, rank)) != king:
            continue
        if board.get((7, rank)) == rook:
            field += letters[0]
        if board.get((0, rank)) == rook:
            field += letters[1]
    return field or "-"


def library_fen(board, side):
    """The position as the library sees it: castling from the placement, no en passant."""
    return "%s %s %s - 0 1" % (placement_of(board), side, castling_field(board))


def attacked(board, square, by_white):
    """Whether a piece of the given colour attacks square."""
    def piece_at(file, rank):
        piece = board.get((file, rank))
        if piece is None or piece.isupper() != by_white:
            return None
        return piece.upper()

    file, rank = square
    for df, dr in KNIGHT_STEPS:
        if piece_at(file + df, rank + dr) == "N":
            return True
    for df, dr in KING_STEPS:
        if piece_at(file + df, rank + dr) == "K":
            return True
    pawn_rank = rank - 1 if by_white else rank + 1
    if any(piece_at(file + df, pawn_rank) == "P" for df in (-1, 1)):
        return True
    for directions, sliders in ((ROOK_DIRECTIONS, "RQ"), (BISHOP_DIRECTIONS, "BQ")):
        for df, dr in directions:
            f, r = file + df, rank + dr
            while 0 <= f < 8 and 0 <= r < 8:
                if (f, r) in board:
                    if piece_at(f, r) in tuple(sliders):
                        return True
                    break
                f, r = f + df, r + dr
    return False


def king_square(board, king):
    return next(square for square, piece in board.items() if piece == king)


def random_game_positions(engine, rng, samples):
    """Positions met in random games, a fifth of them sampled, and every final one."""
    positions = []
    while len(positions) < samples:
        fen = START_FEN
        for ply in range(250):
            moves = engine.legal_moves(fen)
            placement, side = fen.split()[:2]
            board = parse_placement(placement)
            if not moves or rng.random() < 0.2:
                tag = "middle" if ply >= 20 and len(board) >= 20 else "game"
                positions.append((tag, board, side))
            if not moves:
                break
            # Captures are favoured late in a game so that games reach endings and mates.
            captures = [m for m in moves if (ord(m[2]) - 97, int(m[3]) - 1) in board]
            capture_odds = 0.1 if ply < 60 else 0.6
            move = rng.choice(captures if captures and rng.random() < capture_odds else moves)
            fen = engine.fen_after(fen, move)
    return positions[:samples]


def random_placement(rng):
    """Kings and rooks mostly at home, a few other pieces anywhere; None if not a legal position."""
    board = {}
    for king, home in (("K", (4, 0)), ("k", (4, 7))):
        square = home if rng.random() < 0.75 else (rng.randrange(8), rng.randrange(8))
        if square in board:
            return None
        board[square] = king
    for rook, rank in (("R", 0), ("r", 7)):
        for file in (0, 7):
            if (file, rank) not in board and rng.random() < 0.6:
                board[(file, rank)] = rook
    keep_paths_clear = rng.random() < 0.5
    for _ in range(rng.randrange(15)):
        piece = rng.choice("PPPNBRQpppnbrq")
        square = (rng.randrange(8), rng.randrange(8))
        if square in board or (piece in "Pp" and square[1] in (0, 7)):
            continue
        if keep_paths_clear and square[1] in (0, 7) and 1 <= square[0] <= 6:
            continue
        board[square] = piece
    white_king, black_king = king_square(board, "K"), king_square(board, "k")
    if max(abs(white_king[0] - black_king[0]), abs(white_king[1] - black_king[1])) <= 1:
        return None
    side = rng.choice("wb")
    # The side not to move may not stand in check.
    if side == "w" and attacked(board, black_king, True):
        return None
    if side == "b" and attacked(board, white_king, False):
        return None
    return board, side


def merged(moves):
    """From-to pairs: the four promotions of one pawn move are one pair."""
    return sorted(set(move[:4] for move in moves))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("output")
    parser.add_argument("--engine", default="/usr/games/stockfish")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--games", type=int, default=2000, help="positions from random games")
    parser.add_argument("--placements", type=int, default=1500, help="random placements")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    engine = Engine(args.engine)
    positions = random_game_positions(engine, rng, args.games)
    while len(positions) < args.games + args.placements:
        placed = random_placement(rng)
        if placed:
            positions.append(("placement",) + placed)

    with open(args.output, "w") as out:
        out.write("# Legal moves of each position: made by tools/make_rules_fixture.py --seed %d "
                  "--games %d --placements %d\n" % (args.seed, args.games, args.placements))
        out.write("# tag placement side legal-from-to-pairs...\n")
        for tag, board, side in positions:
            moves = merged(engine.legal_moves(library_fen(board, side)))
            out.write(" ".join([tag, placement_of(board), side] + moves) + "\n")
    engine.close()


if __name__ == "__main__":
    main()
