#include "devicestate.h"

bool isdllok = false;
bool isopenok = false;
std::atomic<int> m_option {OpIdle};
int hHandle[1] = {0};
int enrollid = 1000;
unsigned char fpimage[kImageBufferBytes] = {};
unsigned char UserContent[kIndexBytes] = {};
unsigned long enrollPauseMicroseconds = 500000;
