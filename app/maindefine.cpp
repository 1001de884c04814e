#include "app/maindefine.h"

TBitBoards BitBoards{};
TGameRights GameRights{};
std::string AppFolder;
std::string EnginesFolder;
std::string ModelsFolder;
bool EngineThinking = false;
int MouseState = 0;
