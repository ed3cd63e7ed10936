#include "pieces.h"

#include "resources.h"

Player *opponent[SIDES];

Piece::Piece(int type, int owner, int combo, float z)
    : sprite(new hgeSprite(t_pieces, PIECE_WIDTH * type, PIECE_HEIGHT * owner,
                           PIECE_WIDTH, PIECE_HEIGHT)),
      type(type),
      owner(owner),
      combo(combo),
      enemy(Enemy_Of(type))
{
    sprite->SetHotSpot(PIECE_WIDTH / 2, PIECE_HEIGHT);
    sprite->SetZ(z, -1);
}

Piece::~Piece()
{
    delete sprite;
}

void Piece::Draw_Piece(float x, float y)
{
    sprite->Render(x, y);
    if (combo < 1 || combo > FULL_COMBO)
        return;
    s_combo[combo - 1]->Render(x - COMBO_MARK_WIDTH / 2, y - PIECE_HEIGHT);
}

bool Piece_Covers(float x, float y, float px, float py)
{
    const float left = x - PIECE_WIDTH / 2, top = y - PIECE_HEIGHT;
    return px >= left && px < left + PIECE_WIDTH && py >= top && py < y;
}

Player::Player(bool human) : human(human), points(0) {}

Player::~Player()
{
    Delete_Hand();
}

void Player::Add_Piece(int type, int owner, int combo)
{
    hand.push_back(new Piece(type, owner, combo, HAND_Z));
}

void Player::Delete_Piece(int index)
{
    if (index < 0 || index >= Get_HandSize())
        return;
    delete hand[index];
    hand.erase(hand.begin() + index);
}

void Player::Delete_Hand()
{
    for (Piece *piece : hand)
        delete piece;
    hand.clear();
}

void Player::Draw_Hand(float x, float y)
{
    for (int i = 0; i < Get_HandSize(); ++i)
        hand[i]->Draw_Piece(x + HAND_SPACING * i, y);
}

int Player::Piece_At(float x, float y, float px, float py) const
{
    for (int i = 0; i < Get_HandSize(); ++i)
        if (Piece_Covers(x + HAND_SPACING * i, y, px, py))
            return i;
    return -1;
}

Piece *Player::Get_Piece(int index) const
{
    if (index < 0 || index >= Get_HandSize())
        return nullptr;
    return hand[index];
}

void Delete_Players()
{
    for (Player *&player : opponent) {
        delete player;
        player = nullptr;
    }
}
