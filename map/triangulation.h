// Builder internals, exposed for the location tests and the benchmarks.
#pragma once
#include "map/map.h"

struct Triangle {
    Triangle* next;
    Triangle* prev;
    Triangle* pendingNext;
    Triangle* neighbours[3];  // across the edge opposite each corner; null on the frame
    MapNode* corners[3];
    double centreX;
    double centreY;
    double radius;
    int32_t minX, minY, maxX, maxY;
};

Triangle* newTriangle(MapNode* a, MapNode* b, MapNode* c);
// 1 strictly inside a, b, c; 0 on its boundary; -1 outside.
int classifyPoint(const MapNode* q, const MapNode* a, const MapNode* b, const MapNode* c);

// Locates P: the first triangle in newest-first order that holds it, and the
// next one when P lies on an edge. The literal walk is the reference.
Triangle* locateLiteral(const MapNode* p, Triangle** second);
Triangle* locateSite(const MapNode* p, Triangle** second);
Triangle* newestTriangle();
