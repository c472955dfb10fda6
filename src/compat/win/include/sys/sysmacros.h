#pragma once
#define major(device) (static_cast<unsigned>((device) >> 32))
#define minor(device) (static_cast<unsigned>((device)&0xffffffffu))
