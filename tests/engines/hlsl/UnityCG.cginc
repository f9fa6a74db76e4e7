// A stand-in for the two things of Unity's UnityCG.cginc that
// engines/unity/KestrinVertexAnimation.hlsl uses, so that glslang can
// compile it: declarations with Unity's names and signatures, nothing more.
float4x4 unity_MatrixVP;
float4x4 unity_ObjectToWorld;

float4 UnityObjectToClipPos(float3 position)
{
    return mul(unity_MatrixVP, mul(unity_ObjectToWorld, float4(position, 1.0)));
}

float3 GammaToLinearSpace(float3 colour)
{
    return colour * (colour * (colour * 0.305306011 + 0.682171111) + 0.012522878);
}
