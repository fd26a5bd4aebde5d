// The Boards window's side of the controller: the list of every board
// plugged in, the window's model while it is open, and the one hint at the
// start when configured boards are missing while fitting ones are there.
#include "app/BoardsPanel.h"
#include "app/TForm1.h"
#include "boards/BoardManager.h"
#include "boards/BoardMatch.h"

namespace zrk {

BoardsPanel& TForm1::OpenBoards()
{
    if (!boardManager_)
        boardManager_ = ports_.boards.CreateManager();
    if (!boardsPanel_)
        boardsPanel_ = std::make_unique<BoardsPanel>(BoardsPanel::Ports{
            ports_.boards, *boardManager_, ports_.dialogs, ports_.files, ConfigPath(), cfg,
            [this](const std::string& line) { Log(line); }});
    boardsPanel_->Tick(ports_.clock.TickCount());
    return *boardsPanel_;
}

void TForm1::CloseBoards()
{
    if (boardsPanel_)
        boardsPanel_->Closed();
    boardsPanel_.reset();
}

void TForm1::BoardsTick()
{
    const uint32_t now = ports_.clock.TickCount();
    if (boardsPanel_)
        boardsPanel_->Tick(now);
    // The library reports the boards plugged in one by one after the
    // start: they are looked at once, a few seconds in.
    if (!boardsHinted_ && boardManager_ && uint32_t(now - createdAtMs_) >= kBoardsHintAfterMs) {
        boardsHinted_ = true;
        if (const auto hint = MissingBoardsHint(MatchBoards(boardManager_->Boards(), cfg)))
            Log(*hint);
    }
}

} // namespace zrk
