#pragma once
// OrbVectorI: an abstract vector, so interfaces can hand out containers without fixing
// their type; OrbSTLVector implements it over std::vector. Positions outside the vector
// (at, front and back of an empty one) give a spare default element instead of throwing.
#include <cstddef>
#include <vector>

template <typename T>
class OrbVectorI {
public:
    virtual ~OrbVectorI() = default;
    virtual void reserve(size_t n) = 0;
    virtual size_t capacity() const = 0;
    virtual void resize(size_t n, const T& fill = T()) = 0;
    virtual size_t size() const = 0;
    virtual void push_back(const T& value) = 0;
    virtual T& back() = 0;
    virtual const T& back() const = 0;
    virtual T& front() = 0;
    virtual const T& front() const = 0;
    virtual T& at(size_t i) = 0;
    virtual const T& at(size_t i) const = 0;
    virtual T& operator[](size_t i) = 0;
    virtual const T& operator[](size_t i) const = 0;
};

template <typename T>
class OrbSTLVector : public OrbVectorI<T> {
public:
    OrbSTLVector() = default;
    explicit OrbSTLVector(std::vector<T> items) : fItems(std::move(items)) {}

    void reserve(size_t n) override { fItems.reserve(n); }
    size_t capacity() const override { return fItems.capacity(); }
    void resize(size_t n, const T& fill = T()) override { fItems.resize(n, fill); }
    size_t size() const override { return fItems.size(); }
    void push_back(const T& value) override { fItems.push_back(value); }
    T& back() override { return fItems.empty() ? Spare() : fItems.back(); }
    const T& back() const override { return fItems.empty() ? Spare() : fItems.back(); }
    T& front() override { return fItems.empty() ? Spare() : fItems.front(); }
    const T& front() const override { return fItems.empty() ? Spare() : fItems.front(); }
    T& at(size_t i) override { return i < fItems.size() ? fItems[i] : Spare(); }
    const T& at(size_t i) const override { return i < fItems.size() ? fItems[i] : Spare(); }
    T& operator[](size_t i) override { return at(i); }
    const T& operator[](size_t i) const override { return at(i); }

    std::vector<T>& Items() { return fItems; }
    const std::vector<T>& Items() const { return fItems; }

private:
    T& Spare() const
    {
        fSpare = T();
        return fSpare;
    }

    std::vector<T> fItems;
    mutable T fSpare{};
};
