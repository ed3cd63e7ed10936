// The pieces and the two sides that hold them. A piece never changes once
// built: every move destroys it where it was and builds a new one where it goes.
#pragma once

#include <vector>

#include "hgesprite.h"
#include "rules.h"

// Size of a piece on t_pieces: one column per type, one row per side.
constexpr int PIECE_WIDTH = 12;
constexpr int PIECE_HEIGHT = 20;
// Hand pieces stand side by side with a 3-pixel gap. The match screen shows
// the hand of the side to move with its first piece standing on (HAND_X, HAND_Y).
constexpr int HAND_SPACING = PIECE_WIDTH + 3;
constexpr int HAND_X = 20;
constexpr int HAND_Y = 185;
// Hand pieces lie in front of every board cell, with the combo marks.
constexpr float HAND_Z = 0.1f;

// True when the picture of a piece standing on (x, y) holds the point (px,
// py) of the virtual screen: the pointer's hit area of a piece.
bool Piece_Covers(float x, float y, float px, float py);

// The mark of combo level c sits across the top of the piece, centred.
constexpr int COMBO_MARK_WIDTH = 10;

class Piece {
public:
    // Builds its own sprite on t_pieces, so the textures must be loaded first.
    Piece(int type, int owner, int combo, float z);
    ~Piece();
    Piece(const Piece &) = delete;
    Piece &operator=(const Piece &) = delete;

    // Stands the piece on (x, y), the middle of its bottom edge, with its combo mark.
    void Draw_Piece(float x, float y);

    int Get_Type() const { return type; }
    int Get_Owner() const { return owner; }
    int Get_Combo() const { return combo; }
    int Get_Enemy() const { return enemy; }

private:
    hgeSprite *sprite;
    int type;
    int owner;
    int combo;
    int enemy;  // the type that captures this one
};

class Player {
public:
    explicit Player(bool human);
    ~Player();
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    // Appends a new piece at hand depth; the hand keeps its order.
    void Add_Piece(int type, int owner, int combo);
    // Frees the piece at index and closes the gap; an index outside the hand changes nothing.
    void Delete_Piece(int index);
    void Delete_Hand();
    // Piece i stands at (x + HAND_SPACING * i, y).
    void Draw_Hand(float x, float y);
    // The position of the piece whose picture holds the point (px, py) when
    // the hand is drawn from (x, y); -1 for none.
    int Piece_At(float x, float y, float px, float py) const;
    void Add_Point() { ++points; }
    // A match brought to a position played elsewhere takes its score.
    void Set_Points(int score) { points = score; }

    int Get_HandSize() const { return static_cast<int>(hand.size()); }
    // The hand keeps the piece; null for an index outside the hand.
    Piece *Get_Piece(int index) const;
    bool Get_Human() const { return human; }
    int Get_Points() const { return points; }

private:
    std::vector<Piece *> hand;  // position 0 is the leftmost piece
    bool human;
    int points;
};

// Solids and Stripes, made by the menu when a match starts and deleted at shutdown.
extern Player *opponent[SIDES];

// Deletes both players with the pieces in their hands; null ones are skipped.
void Delete_Players();
