#pragma once
// Registry script resource of Torlin.dll (type "REGISTRY").
#define IDR_REGISTRY 101
