#include "app/serial/comportmanager.h"
#include "app/serial/serialport.h"
