// The vehicle gallery after the ending: the five opponent types and KORVAN stand in a row, each on
// a turning pool of light, and the camera visits them one every 600 frames in the order of their
// names (BuSkel, Hannya, Killer - Bee, ZORVAN, Black - Hornet, KORVAN), sliding along the row and
// coming in close so each car fills the picture while its name shows. Then the staff roll. As with
// the ending, a skip key jumps to the fade-out only once the game has been finished before.
#pragma once
#include <cstdint>

#include "platform/math.h"

// The orange fog, the ambient light (white on a board with one light, else black) and the lights,
// "Ending2.mid" loaded and started, "BackGround8.x" as the background, the counter from 0.
void GallerySetUp();
void GalleryFrame();
// The set-up and the scene together: what the ending runs after its last frame.
void StartVehicleGallery();

constexpr int kGalleryVehicleCount = 6;
constexpr int kGalleryFadeInFrames = 255;
constexpr int kGalleryFadeOut = 4200;    // the tune fades, the screen goes black; a skip jumps here
constexpr int kGalleryLastFrame = 4500;  // the staff roll follows this frame
constexpr int kGalleryNameY = 400;

struct GalleryVehicle {
    int slot;          // opponent slot of its type, -1 for KORVAN
    float x;           // its place in the row (y 0, z -1)
    const char* name;
    int nameX;
    float reach;       // how far the camera stands off it, against the usual distance
};
// In the order they are visited.
extern const GalleryVehicle kGalleryVehicles[kGalleryVehicleCount];

// Where along the row the camera is at scene frame t: sliding from one car to the next in the first
// half of each 600-frame period from frame 300, resting on car k (x = 300k) in the second half.
float GalleryCameraX(int t);
struct GalleryCamera {
    D3DXVECTOR3 eye;
    D3DXVECTOR3 at;
};
GalleryCamera GalleryCameraAt(int t);
// The car whose name shows at t (0..5), -1 for none.
int GalleryNameAt(int t);
// Car i's body at t: standing in its place, turning slowly on its pool of light.
D3DXMATRIX GalleryVehiclePlacement(int i, int t);
// The black over the picture: fading in over the first 255 frames, out from 4201.
int GalleryFadeAlpha(int t);
// The ambient light: white when the board has fewer than two lights, black otherwise.
uint32_t GalleryAmbient();
