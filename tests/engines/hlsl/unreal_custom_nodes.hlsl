// The Custom node bodies of engines/unreal/, each wrapped as Unreal wraps a
// Custom node: a function of the node's inputs (a Texture Object input
// brings its sampler along). Compiled by the engines test with glslang's
// HLSL front end, with a vertex stage that uses all three as the material
// graph of docs/engines.md does.
float4 FrameTexel(Texture2D Values, SamplerState ValuesSampler, float2 UV, float Frame, float RowsPerFrame)
{
#include "FrameTexel.hlsl"
}

float3 TensionColour(float4 Texel, float ColourRange)
{
#include "TensionColour.hlsl"
}

float3 FromGltf(float3 Value)
{
#include "FromGltf.hlsl"
}

Texture2D Tension;
Texture2D Morph;
SamplerState PointClamp;
float4x4 LocalToClip;
float Frame;

struct Drawn
{
    float4 position : SV_Position;
    float3 colour : COLOR0;
};

Drawn main(float3 position : POSITION, float2 uv1 : TEXCOORD1)
{
    Drawn drawn;
    float3 moved = position + FromGltf(FrameTexel(Morph, PointClamp, uv1, Frame, 1.0).rgb);
    drawn.position = mul(LocalToClip, float4(moved, 1.0));
    drawn.colour = TensionColour(FrameTexel(Tension, PointClamp, uv1, Frame, 1.0), 1.0);
    return drawn;
}
