#pragma once
#define IDI_SEQUORA 100
#define IDR_LOGO 101
