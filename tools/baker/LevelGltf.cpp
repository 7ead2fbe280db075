#include "tools/baker/LevelGltf.h"

#include <tiny_gltf.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

class GltfBuilder {
public:
    explicit GltfBuilder(tinygltf::Model& model) : model(model) {
        model.buffers.emplace_back();
    }

    // One buffer view per accessor, 4-byte aligned so every component type starts aligned.
    int addView(const void* bytes, std::size_t size, int target) {
        std::vector<unsigned char>& data = model.buffers[0].data;
        while (data.size() % 4) data.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = data.size();
        view.byteLength = size;
        view.target = target;
        const auto* p = static_cast<const unsigned char*>(bytes);
        data.insert(data.end(), p, p + size);
        model.bufferViews.push_back(view);
        return static_cast<int>(model.bufferViews.size() - 1);
    }

    template <typename V>
    int addFloatAccessor(const std::vector<V>& values, int components, int type, int target, bool withBounds) {
        std::vector<float> flat;
        flat.reserve(values.size() * components);
        for (const V& v : values)
            for (int c = 0; c < components; ++c) flat.push_back(component(v, c));
        tinygltf::Accessor accessor;
        accessor.bufferView = addView(flat.data(), flat.size() * sizeof(float), target);
        accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
        accessor.count = values.size();
        accessor.type = type;
        if (withBounds) {
            accessor.minValues.assign(components, 0.0);
            accessor.maxValues.assign(components, 0.0);
            for (int c = 0; c < components; ++c) {
                float lo = flat[c], hi = flat[c];
                for (std::size_t i = c; i < flat.size(); i += components) {
                    lo = std::min(lo, flat[i]);
                    hi = std::max(hi, flat[i]);
                }
                accessor.minValues[c] = lo;
                accessor.maxValues[c] = hi;
            }
        }
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size() - 1);
    }

    int addIndices(const std::vector<std::uint32_t>& indices, std::size_t vertexCount) {
        tinygltf::Accessor accessor;
        if (vertexCount <= 65535) {
            std::vector<std::uint16_t> shorts(indices.begin(), indices.end());
            accessor.bufferView = addView(shorts.data(), shorts.size() * 2, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
        } else {
            accessor.bufferView = addView(indices.data(), indices.size() * 4, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        }
        accessor.count = indices.size();
        accessor.type = TINYGLTF_TYPE_SCALAR;
        model.accessors.push_back(accessor);
        return static_cast<int>(model.accessors.size() - 1);
    }

private:
    static float component(float v, int) { return v; }
    static float component(const glm::vec2& v, int c) { return v[c]; }
    static float component(const glm::vec3& v, int c) { return v[c]; }
    static float component(const glm::vec4& v, int c) { return v[c]; }
    static float component(const glm::quat& q, int c) {
        const float xyzw[4] = {q.x, q.y, q.z, q.w};   // glTF stores quaternions as x, y, z, w
        return xyzw[c];
    }

    tinygltf::Model& model;
};

std::vector<double> toVector(const glm::vec3& v) { return {v.x, v.y, v.z}; }
std::vector<double> toVector(const glm::quat& q) { return {q.x, q.y, q.z, q.w}; }

void setPose(tinygltf::Node& node, const glm::vec3& t, const glm::quat& r, const glm::vec3& s) {
    node.translation = toVector(t);
    if (r != glm::quat(1.0f, 0.0f, 0.0f, 0.0f)) node.rotation = toVector(r);
    if (s != glm::vec3(1.0f)) node.scale = toVector(s);
}

void addAnimation(tinygltf::Model& model, GltfBuilder& builder, const std::string& name, int node,
                  const NodeTrack& track, bool withScale) {
    tinygltf::Animation animation;
    animation.name = name;
    const int input = builder.addFloatAccessor(track.times, 1, TINYGLTF_TYPE_SCALAR, 0, true);
    auto channel = [&](const char* path, int output) {
        tinygltf::AnimationSampler sampler;
        sampler.input = input;
        sampler.output = output;
        sampler.interpolation = "LINEAR";
        animation.samplers.push_back(sampler);
        tinygltf::AnimationChannel c;
        c.sampler = static_cast<int>(animation.samplers.size() - 1);
        c.target_node = node;
        c.target_path = path;
        animation.channels.push_back(c);
    };
    // Translation first: the engine files an animation under its first channel's node.
    channel("translation", builder.addFloatAccessor(track.translations, 3, TINYGLTF_TYPE_VEC3, 0, false));
    channel("rotation", builder.addFloatAccessor(track.rotations, 4, TINYGLTF_TYPE_VEC4, 0, false));
    if (withScale) channel("scale", builder.addFloatAccessor(track.scales, 3, TINYGLTF_TYPE_VEC3, 0, false));
    model.animations.push_back(animation);
}

}  // namespace

bool writeLevelGltf(const LevelScene& scene, const std::string& path) {
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "Verdance level baker";
    GltfBuilder builder(model);
    model.buffers[0].uri = std::filesystem::path(path).stem().string() + ".bin";

    tinygltf::Scene root;
    root.name = "meadow";
    std::vector<std::pair<int, const LevelObject*>> animated;
    for (const LevelObject& o : scene.objects) {
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        const LevelMesh& m = o.mesh;
        primitive.attributes["POSITION"] =
            builder.addFloatAccessor(m.positions, 3, TINYGLTF_TYPE_VEC3, TINYGLTF_TARGET_ARRAY_BUFFER, true);
        primitive.attributes["NORMAL"] =
            builder.addFloatAccessor(m.normals, 3, TINYGLTF_TYPE_VEC3, TINYGLTF_TARGET_ARRAY_BUFFER, false);
        primitive.attributes["TANGENT"] =
            builder.addFloatAccessor(m.tangents, 4, TINYGLTF_TYPE_VEC4, TINYGLTF_TARGET_ARRAY_BUFFER, false);
        primitive.attributes["TEXCOORD_0"] =
            builder.addFloatAccessor(m.uvs, 2, TINYGLTF_TYPE_VEC2, TINYGLTF_TARGET_ARRAY_BUFFER, false);
        primitive.indices = builder.addIndices(m.indices, m.vertexCount());
        tinygltf::Mesh mesh;
        mesh.name = o.name;   // distinct per node: the engine's geometry registry keys by mesh name
        mesh.primitives.push_back(primitive);
        model.meshes.push_back(mesh);

        tinygltf::Node node;
        node.name = o.name;
        node.mesh = static_cast<int>(model.meshes.size() - 1);
        setPose(node, o.translation, o.rotation, o.scale);
        model.nodes.push_back(node);
        root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
        if (o.animated) animated.emplace_back(root.nodes.back(), &o);
    }

    {
        tinygltf::Camera camera;
        camera.name = "Camera";
        camera.type = "perspective";
        camera.perspective.yfov = scene.camera.yfov;
        camera.perspective.aspectRatio = scene.camera.aspectRatio;
        camera.perspective.znear = scene.camera.znear;
        camera.perspective.zfar = scene.camera.zfar;
        model.cameras.push_back(camera);
        tinygltf::Node node;
        node.name = "Camera";
        node.camera = 0;
        setPose(node, scene.camera.track.translations.front(), scene.camera.track.rotations.front(), glm::vec3(1.0f));
        model.nodes.push_back(node);
        root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
    }
    const int cameraNode = root.nodes.back();

    for (const LevelLight& l : scene.lights) {
        tinygltf::Light light;
        light.name = l.name;
        light.type = l.type;
        light.color = toVector(l.color);
        light.intensity = l.intensity;
        if (l.type == "spot") {
            light.spot.innerConeAngle = l.innerCone;
            light.spot.outerConeAngle = l.outerCone;
        }
        model.lights.push_back(light);
        tinygltf::Node node;
        node.name = l.name;
        setPose(node, l.position, l.rotation, glm::vec3(1.0f));
        tinygltf::Value::Object reference;
        reference["light"] = tinygltf::Value(static_cast<int>(model.lights.size() - 1));
        node.extensions["KHR_lights_punctual"] = tinygltf::Value(reference);
        model.nodes.push_back(node);
        root.nodes.push_back(static_cast<int>(model.nodes.size() - 1));
    }

    addAnimation(model, builder, "CameraFlight", cameraNode, scene.camera.track, false);
    for (const auto& [node, object] : animated) addAnimation(model, builder, object->name, node, object->track, true);

    model.scenes.push_back(root);
    model.defaultScene = 0;
    model.extensionsUsed.push_back("KHR_lights_punctual");

    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    tinygltf::TinyGLTF writer;
    if (!writer.WriteGltfSceneToFile(&model, path, false, false, true, false)) {
        std::printf("ERROR: Failed to write level '%s'\n", path.c_str());
        std::fflush(stdout);
        return false;
    }
    return true;
}
